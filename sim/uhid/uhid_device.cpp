#include "sim/uhid/uhid_device.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace uhid_unit {

UhidDevice::~UhidDevice() {
  Destroy();
}

bool UhidDevice::Create(const DeviceIdentity& identity) {
  Destroy();
  if (identity.descriptor.size() > HID_MAX_DESCRIPTOR_SIZE) {
    errno = EINVAL;
    return false;
  }
  fd_ = open("/dev/uhid", O_RDWR | O_CLOEXEC);
  if (fd_ < 0) {
    return false;
  }
  uhid_event event{};
  event.type = UHID_CREATE2;
  auto& create = event.u.create2;
  std::strncpy(reinterpret_cast<char*>(create.name), identity.name.c_str(), sizeof create.name - 1);
  create.rd_size = static_cast<std::uint16_t>(identity.descriptor.size());
  create.bus = identity.bus;
  create.vendor = identity.vendor;
  create.product = identity.product;
  std::copy(identity.descriptor.begin(), identity.descriptor.end(), create.rd_data);
  if (!Send(event)) {
    const int error = errno;
    close(fd_);
    fd_ = -1;
    errno = error;
    return false;
  }
  return true;
}

void UhidDevice::Destroy() {
  if (fd_ < 0) {
    return;
  }
  uhid_event event{};
  event.type = UHID_DESTROY;
  Send(event);  // closing the file destroys the device as well, should this fail
  close(fd_);
  fd_ = -1;
}

UhidDevice::Wait UhidDevice::NextEvent(uhid_event& event, int timeoutMs) {
  if (fd_ < 0) {
    return Wait::Failed;
  }
  pollfd p{fd_, POLLIN, 0};
  const int ready = poll(&p, 1, timeoutMs);
  if (ready == 0 || (ready < 0 && errno == EINTR)) {
    return Wait::Timeout;
  }
  if (ready < 0) {
    return Wait::Failed;
  }
  event = {};
  // The kernel hands over one whole event per read; an older kernel's shorter events still fit.
  const ssize_t n = read(fd_, &event, sizeof event);
  return n > 0 ? Wait::Event : Wait::Failed;
}

bool UhidDevice::SendInput(std::span<const std::uint8_t> report) {
  uhid_event event{};
  event.type = UHID_INPUT2;
  const std::size_t n = std::min(report.size(), sizeof event.u.input2.data);
  event.u.input2.size = static_cast<std::uint16_t>(n);
  std::copy_n(report.begin(), n, event.u.input2.data);
  return Send(event);
}

bool UhidDevice::RefuseReportRequest(const uhid_event& request) {
  uhid_event event{};
  if (request.type == UHID_GET_REPORT) {
    event.type = UHID_GET_REPORT_REPLY;
    event.u.get_report_reply.id = request.u.get_report.id;
    event.u.get_report_reply.err = EIO;
  } else if (request.type == UHID_SET_REPORT) {
    event.type = UHID_SET_REPORT_REPLY;
    event.u.set_report_reply.id = request.u.set_report.id;
    event.u.set_report_reply.err = EIO;
  } else {
    return true;
  }
  return Send(event);
}

bool UhidDevice::Send(const uhid_event& event) {
  if (fd_ < 0) {
    errno = ENODEV;
    return false;
  }
  const ssize_t n = write(fd_, &event, sizeof event);
  return n == static_cast<ssize_t>(sizeof event);
}

}  // namespace uhid_unit

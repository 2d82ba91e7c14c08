// A stand-in for the hidapi shared library (same soname as Debian's libhidapi-hidraw.so.0). Put
// first on LD_LIBRARY_PATH, it lets an unmodified program reach the test driver's simulated bus:
// enumeration, open, reads, writes and report descriptors go over the Unix socket named by
// HIDAPI_STANDIN_SOCKET (see wire.h). It exports the whole hidapi 0.13 interface so that any
// program linked against it loads; built without STANDIN_HIDAPI_0_13 it also exports
// hid_get_report_descriptor, as hidapi does from 0.14 on.
#include <hidapi.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "tests/hidapi_standin/wire.h"

struct hid_device_ {
  int fd = -1;
  hid_device_info* info = nullptr;
  std::wstring error;
  bool nonblocking = false;
};

namespace {

// hidapi keeps one error text for calls without a device; so does the stand-in (per thread).
thread_local std::wstring globalError;

std::wstring Widen(const std::string& text) {
  return std::wstring(text.begin(), text.end());
}

// Notes the failure for hid_error; errno stays the failure's, as the caller reads it next.
void SetError(hid_device* device, const std::string& what) {
  const int error = errno;
  (device != nullptr ? device->error : globalError) = Widen(what + ": " + std::strerror(error));
  errno = error;
}

wchar_t* CopyWide(const std::string& text) {
  const std::wstring wide = Widen(text);
  auto* copy = static_cast<wchar_t*>(std::calloc(wide.size() + 1, sizeof(wchar_t)));
  if (copy != nullptr) {
    std::wmemcpy(copy, wide.c_str(), wide.size());
  }
  return copy;
}

hid_device_info* NewInfo(const sim::Listing& l) {
  auto* info = static_cast<hid_device_info*>(std::calloc(1, sizeof(hid_device_info)));
  if (info == nullptr) {
    return nullptr;
  }
  info->path = strdup(l.path.c_str());
  info->vendor_id = l.vendorId;
  info->product_id = l.productId;
  info->serial_number = CopyWide(l.serialNumber);
  info->release_number = l.releaseNumber;
  info->manufacturer_string = CopyWide(l.manufacturer);
  info->product_string = CopyWide(l.product);
  info->usage_page = l.usagePage;
  info->usage = l.usage;
  info->interface_number = l.interfaceNumber;
  info->bus_type = HID_API_BUS_USB;
  return info;
}

void FreeInfo(hid_device_info* info) {
  std::free(info->path);
  std::free(info->serial_number);
  std::free(info->manufacturer_string);
  std::free(info->product_string);
  std::free(info);
}

// A new connection to the driver; -1 (errno set) when there is no driver.
int Connect() {
  const char* socketPath = std::getenv(standin::SOCKET_VARIABLE);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (socketPath == nullptr || std::strlen(socketPath) >= sizeof address.sun_path) {
    errno = ENOENT;
    return -1;
  }
  std::strcpy(address.sun_path, socketPath);
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    return -1;
  }
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    const int error = errno;
    ::close(fd);
    errno = error;
    return -1;
  }
  return fd;
}

// One request and its reply; false (errno ENODEV) when the connection is gone, which is how the
// driver reports a device that was unplugged.
bool Call(int fd, const sim::MessageWriter& request, std::vector<std::uint8_t>& reply) {
  if (!standin::SendMessage(fd, request.bytes()) || !standin::ReceiveMessage(fd, reply)) {
    errno = ENODEV;
    return false;
  }
  return true;
}

// A silent unit: nothing arrives until the time-out passes or the driver ends the connection.
int AwaitSilence(hid_device* device, int milliseconds) {
  pollfd watch{device->fd, POLLIN, 0};
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  for (;;) {
    int wait = -1;
    if (milliseconds >= 0) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      wait = static_cast<int>(std::max<std::int64_t>(0, left.count()));
    }
    const int ready = ::poll(&watch, 1, wait);
    if (ready < 0 && errno == EINTR) {
      continue;
    }
    if (ready == 0) {
      return 0;
    }
    errno = EIO;  // the device went away during the read
    SetError(device, "hid_read_timeout");
    return -1;
  }
}

}  // namespace

extern "C" {

int hid_init(void) {
  return 0;
}

int hid_exit(void) {
  globalError.clear();
  return 0;
}

hid_device_info* hid_enumerate(unsigned short vendorId, unsigned short productId) {
  const int fd = Connect();
  if (fd < 0) {
    SetError(nullptr, "hid_enumerate: no stand-in bus");
    return nullptr;
  }
  std::vector<std::uint8_t> reply;
  const bool answered =
      Call(fd, sim::MessageWriter().U8(std::uint8_t(standin::Op::Enumerate)), reply);
  ::close(fd);
  if (!answered) {
    SetError(nullptr, "hid_enumerate");
    return nullptr;
  }
  sim::MessageReader read(reply);
  hid_device_info* first = nullptr;
  hid_device_info** link = &first;
  for (const sim::Listing& listing : read.Entries()) {
    if ((vendorId != 0 && listing.vendorId != vendorId) ||
        (productId != 0 && listing.productId != productId)) {
      continue;
    }
    hid_device_info* info = NewInfo(listing);
    if (info != nullptr) {
      *link = info;
      link = &info->next;
    }
  }
  return first;
}

void hid_free_enumeration(hid_device_info* list) {
  while (list != nullptr) {
    hid_device_info* next = list->next;
    FreeInfo(list);
    list = next;
  }
}

hid_device* hid_open_path(const char* path) {
  if (path == nullptr) {
    errno = EINVAL;
    return nullptr;
  }
  const int fd = Connect();
  if (fd < 0) {
    SetError(nullptr, "hid_open_path: no stand-in bus");
    return nullptr;
  }
  std::vector<std::uint8_t> reply;
  if (!Call(fd, sim::MessageWriter().U8(std::uint8_t(standin::Op::Open)).Str(path), reply)) {
    ::close(fd);
    SetError(nullptr, "hid_open_path");
    return nullptr;
  }
  sim::MessageReader read(reply);
  const std::int32_t error = read.I32();
  const sim::Listing listing = read.Entry();
  if (error != 0 || !read.ok()) {
    ::close(fd);
    errno = error != 0 ? error : EPROTO;  // as open(2) fails on a hidraw node
    SetError(nullptr, std::string("hid_open_path: ") + path);
    return nullptr;
  }
  auto* device = new hid_device;
  device->fd = fd;
  device->info = NewInfo(listing);
  return device;
}

hid_device* hid_open(unsigned short vendorId, unsigned short productId,
                     const wchar_t* serialNumber) {
  hid_device_info* list = hid_enumerate(vendorId, productId);
  const char* path = nullptr;
  for (const hid_device_info* info = list; info != nullptr; info = info->next) {
    if (serialNumber == nullptr ||
        (info->serial_number != nullptr && std::wcscmp(info->serial_number, serialNumber) == 0)) {
      path = info->path;
      break;
    }
  }
  hid_device* device = nullptr;
  if (path != nullptr) {
    device = hid_open_path(path);
  } else {
    errno = ENOENT;
    SetError(nullptr, "hid_open: no such device");
  }
  hid_free_enumeration(list);
  return device;
}

void hid_close(hid_device* device) {
  if (device == nullptr) {
    return;
  }
  ::close(device->fd);
  if (device->info != nullptr) {
    FreeInfo(device->info);
  }
  delete device;
}

int hid_write(hid_device* device, const unsigned char* data, size_t length) {
  if (device == nullptr || data == nullptr) {
    errno = EINVAL;
    return -1;
  }
  std::vector<std::uint8_t> reply;
  if (!Call(device->fd,
            sim::MessageWriter().U8(std::uint8_t(standin::Op::Write)).Bytes({data, length}),
            reply)) {
    SetError(device, "hid_write");
    return -1;
  }
  sim::MessageReader read(reply);
  const std::int32_t error = read.I32();
  const std::uint32_t written = read.U32();
  if (!read.ok() || error != 0) {
    errno = read.ok() ? error : EPROTO;
    SetError(device, "hid_write");
    return -1;
  }
  return static_cast<int>(written);
}

int hid_read_timeout(hid_device* device, unsigned char* data, size_t length, int milliseconds) {
  if (device == nullptr || data == nullptr) {
    errno = EINVAL;
    return -1;
  }
  std::vector<std::uint8_t> reply;
  if (!Call(device->fd,
            sim::MessageWriter()
                .U8(std::uint8_t(standin::Op::Read))
                .U32(static_cast<std::uint32_t>(length)),
            reply)) {
    errno = EIO;
    SetError(device, "hid_read_timeout");
    return -1;
  }
  sim::MessageReader read(reply);
  switch (static_cast<standin::ReadStatus>(read.U8())) {
    case standin::ReadStatus::Data: {
      const std::vector<std::uint8_t> report = read.Bytes();
      if (!read.ok()) {
        break;
      }
      const std::size_t n = std::min(report.size(), length);
      std::memcpy(data, report.data(), n);
      return static_cast<int>(n);
    }
    case standin::ReadStatus::Failed: {
      const std::int32_t error = read.I32();
      if (!read.ok()) {
        break;
      }
      errno = error;
      SetError(device, "hid_read_timeout");
      return -1;
    }
    case standin::ReadStatus::Silent:
      return AwaitSilence(device, milliseconds);
  }
  errno = EPROTO;
  SetError(device, "hid_read_timeout: bad reply");
  return -1;
}

int hid_read(hid_device* device, unsigned char* data, size_t length) {
  return hid_read_timeout(device, data, length, device != nullptr && device->nonblocking ? 0 : -1);
}

int hid_set_nonblocking(hid_device* device, int nonblock) {
  if (device == nullptr) {
    return -1;
  }
  device->nonblocking = nonblock != 0;
  return 0;
}

// The unit has no feature reports, and its input reports come only as replies.
int hid_send_feature_report(hid_device* device, const unsigned char*, size_t) {
  errno = EPIPE;
  SetError(device, "hid_send_feature_report");
  return -1;
}

int hid_get_feature_report(hid_device* device, unsigned char*, size_t) {
  errno = EPIPE;
  SetError(device, "hid_get_feature_report");
  return -1;
}

int hid_get_input_report(hid_device* device, unsigned char*, size_t) {
  errno = EPIPE;
  SetError(device, "hid_get_input_report");
  return -1;
}

static int CopyString(const wchar_t* source, wchar_t* target, size_t room) {
  if (source == nullptr || target == nullptr || room == 0) {
    return -1;
  }
  std::wcsncpy(target, source, room - 1);
  target[room - 1] = L'\0';
  return 0;
}

int hid_get_manufacturer_string(hid_device* device, wchar_t* string, size_t maxlen) {
  return device == nullptr || device->info == nullptr
             ? -1
             : CopyString(device->info->manufacturer_string, string, maxlen);
}

int hid_get_product_string(hid_device* device, wchar_t* string, size_t maxlen) {
  return device == nullptr || device->info == nullptr
             ? -1
             : CopyString(device->info->product_string, string, maxlen);
}

int hid_get_serial_number_string(hid_device* device, wchar_t* string, size_t maxlen) {
  return device == nullptr || device->info == nullptr
             ? -1
             : CopyString(device->info->serial_number, string, maxlen);
}

hid_device_info* hid_get_device_info(hid_device* device) {
  return device != nullptr ? device->info : nullptr;
}

int hid_get_indexed_string(hid_device* device, int, wchar_t*, size_t) {
  errno = ENOSYS;
  SetError(device, "hid_get_indexed_string");
  return -1;
}

const wchar_t* hid_error(hid_device* device) {
  const std::wstring& text = device != nullptr ? device->error : globalError;
  return text.empty() ? L"Success" : text.c_str();
}

#ifdef STANDIN_HIDAPI_0_13
static const hid_api_version kVersion{0, 13, 1};
static const char kVersionText[] = "0.13.1";
#else
static const hid_api_version kVersion{0, 14, 0};
static const char kVersionText[] = "0.14.0";
#endif

const hid_api_version* hid_version(void) {
  return &kVersion;
}

const char* hid_version_str(void) {
  return kVersionText;
}

#ifndef STANDIN_HIDAPI_0_13
int hid_get_report_descriptor(hid_device* device, unsigned char* buf, size_t size);

int hid_get_report_descriptor(hid_device* device, unsigned char* buf, size_t size) {
  if (device == nullptr || buf == nullptr) {
    errno = EINVAL;
    return -1;
  }
  std::vector<std::uint8_t> reply;
  if (!Call(device->fd, sim::MessageWriter().U8(std::uint8_t(standin::Op::Descriptor)), reply)) {
    SetError(device, "hid_get_report_descriptor");
    return -1;
  }
  sim::MessageReader read(reply);
  const std::int32_t error = read.I32();
  const std::vector<std::uint8_t> descriptor = read.Bytes();
  if (!read.ok() || error != 0) {
    errno = read.ok() ? error : EPROTO;
    SetError(device, "hid_get_report_descriptor");
    return -1;
  }
  const std::size_t n = std::min(descriptor.size(), size);
  std::memcpy(buf, descriptor.data(), n);
  return static_cast<int>(n);
}
#endif

}  // extern "C"

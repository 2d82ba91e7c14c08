#include "platform/hidapi/hidapi_transport.h"

#include <dlfcn.h>
#include <hidapi.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <utility>

#include "platform/hidapi/report_descriptor.h"
#include "protocol/unit_filter.h"
#include "protocol/vendor.h"

namespace {

// hidapi states report descriptors from 0.14 on; Debian 12 ships 0.13. Looked up at run time so
// one binary, built against either, uses the library's call wherever the installed one has it.
using GetReportDescriptorFn = int (*)(hid_device*, unsigned char*, std::size_t);

struct HidDeviceCloser {
  void operator()(hid_device* device) const {
    const int error = errno;
    hid_close(device);
    errno = error;
  }
};
using HidDevicePtr = std::unique_ptr<hid_device, HidDeviceCloser>;

struct EnumerationFreer {
  void operator()(hid_device_info* list) const { hid_free_enumeration(list); }
};

hid_device* AsDevice(DeviceHandle handle) {
  return reinterpret_cast<hid_device*>(handle);
}

// The errno a failed hidapi call left, or `fallback` where it left none (a backend that fails
// without a system call behind it).
std::uint32_t OsErrorOr(int fallback) {
  return static_cast<std::uint32_t>(errno != 0 ? errno : fallback);
}

// The programming units hidapi lists, each node once: hidapi lists a node once per top-level
// collection (macOS, and Linux from 0.13 on), and a unit is one node however many it declares.
std::vector<UnitListing> EnumerateUnits() {
  const std::unique_ptr<hid_device_info, EnumerationFreer> list(hid_enumerate(MAKER_VENDOR_ID, 0));
  std::vector<UnitListing> units;
  for (const hid_device_info* info = list.get(); info != nullptr; info = info->next) {
    if (info->path == nullptr || !IsProgrammingUnit({info->vendor_id, info->product_id})) {
      continue;
    }
    const std::string path = info->path;
    if (std::none_of(units.begin(), units.end(),
                     [&](const UnitListing& unit) { return unit.path == path; })) {
      units.push_back({path, info->product_id});
    }
  }
  return units;
}

// The listed units in order. Only programming units are listed, so no other device is ever
// opened; their IDs come from enumeration, which hidapi reads without opening the node.
class ListingWalk final : public HidInterfaceWalk {
 public:
  ListingWalk(std::vector<UnitListing> units, std::vector<OpenFailure>& failures)
      : units_(std::move(units)), failures_(failures) {}

  HidDevicePtr TakeDevice() { return std::move(device_); }
  const std::string& currentPath() const { return units_[index_].path; }

  bool Next() override { return ++index_ < units_.size(); }
  bool OpenCurrent() override {
    device_.reset(hid_open_path(units_[index_].path.c_str()));
    if (!device_) {
      // hidraw leaves open(2)'s errno in place: EACCES means the node needs a udev rule.
      failures_.push_back({units_[index_].path, errno});
      return false;
    }
    return true;
  }
  std::optional<UsbIds> ReadIds() override {
    return UsbIds{MAKER_VENDOR_ID, units_[index_].productId};
  }
  void CloseCurrent() override { device_.reset(); }
  OpenedDevice TakeCurrent(std::uint16_t productId) override {
    return {reinterpret_cast<DeviceHandle>(device_.get()), units_[index_].path, productId};
  }

 private:
  std::vector<UnitListing> units_;
  std::vector<OpenFailure>& failures_;
  std::size_t index_ = static_cast<std::size_t>(-1);
  HidDevicePtr device_;
};

}  // namespace

struct HidapiTransport::OpenDevice {
  HidDevicePtr device;
  std::string path;
};

HidapiTransport::HidapiTransport(HidapiOptions options)
    : options_(std::move(options)),
      initialised_(hid_init() == 0),
      getReportDescriptor_(reinterpret_cast<GetReportDescriptorFn>(
          dlsym(RTLD_DEFAULT, "hid_get_report_descriptor"))) {}

HidapiTransport::~HidapiTransport() {
  open_.clear();
  if (initialised_) {
    hid_exit();
  }
}

std::vector<UnitListing> HidapiTransport::ListUnits() {
  return initialised_ ? EnumerateUnits() : std::vector<UnitListing>{};
}

ResultCode HidapiTransport::OpenFirst(const std::optional<std::string>& onlyPath,
                                      OpenedDevice& out) {
  openFailures_.clear();
  if (!initialised_) {
    return RESULT_NO_DEVICE;
  }
  std::vector<UnitListing> units = EnumerateUnits();
  if (onlyPath) {
    std::erase_if(units, [&](const UnitListing& unit) { return unit.path != *onlyPath; });
  }
  ListingWalk walk(std::move(units), openFailures_);
  OpenedDevice opened;
  const ResultCode found = FindFirstUnit(walk, opened);
  if (found != RESULT_OK) {
    return found;
  }
  open_.push_back(std::make_unique<OpenDevice>(OpenDevice{walk.TakeDevice(), walk.currentPath()}));
  out = std::move(opened);
  return RESULT_OK;
}

RequestResult HidapiTransport::FindAndOpen(OpenedDevice& out) {
  return {OpenFirst(std::nullopt, out)};
}

ResultCode HidapiTransport::OpenPath(const std::string& path, OpenedDevice& out) {
  return OpenFirst(path, out);
}

HidapiTransport::OpenDevice* HidapiTransport::Find(DeviceHandle handle) {
  const auto it = std::find_if(open_.begin(), open_.end(), [&](const auto& device) {
    return reinterpret_cast<DeviceHandle>(device->device.get()) == handle;
  });
  return it == open_.end() ? nullptr : it->get();
}

bool HidapiTransport::ReadDescriptor(const OpenDevice& device, std::vector<std::uint8_t>& out) {
  if (getReportDescriptor_ != nullptr) {
    std::vector<std::uint8_t> bytes(MAX_REPORT_DESCRIPTOR_BYTES);
    const int n = getReportDescriptor_(device.device.get(), bytes.data(), bytes.size());
    if (n < 0) {
      return false;
    }
    bytes.resize(std::min<std::size_t>(static_cast<std::size_t>(n), bytes.size()));
    out = std::move(bytes);
    return true;
  }
#if defined(__linux__)
  return ReadHidrawReportDescriptor(options_.sysfsRoot, device.path, out);
#else
  // Elsewhere only hidapi can state descriptors; the build requires a version that can.
  errno = ENOTSUP;
  return false;
#endif
}

IoResult HidapiTransport::GetReportLengths(DeviceHandle handle, ReportLengths& out) {
  const OpenDevice* device = Find(handle);
  if (device == nullptr) {
    return IoResult::Failure(EBADF);
  }
  std::vector<std::uint8_t> descriptor;
  errno = 0;
  if (!ReadDescriptor(*device, descriptor)) {
    return IoResult::Failure(OsErrorOr(EIO));
  }
  DescriptorReports reports;
  if (ParseReportDescriptor(descriptor, reports) != DescriptorError::None) {
    return IoResult::Failure(EBADMSG);
  }
  out = reports.lengths;
  return IoResult::Success();
}

IoResult HidapiTransport::WriteReport(DeviceHandle handle, std::span<const std::uint8_t> report) {
  if (Find(handle) == nullptr) {
    return IoResult::Failure(EBADF);
  }
  // The whole report at the output report length, report ID first: hidraw hands it to the
  // device as it stands.
  errno = 0;
  const int written = hid_write(AsDevice(handle), report.data(), report.size());
  if (written < 0) {
    // hidapi's hidraw backend fails with write(2)'s errno in place (ENODEV once unplugged).
    return IoResult::Failure(OsErrorOr(EIO));
  }
  if (static_cast<std::size_t>(written) != report.size()) {
    return IoResult::Failure(EIO);
  }
  return IoResult::Success();
}

IoResult HidapiTransport::ReadReport(DeviceHandle handle, std::span<std::uint8_t> buffer) {
  if (Find(handle) == nullptr) {
    return IoResult::Failure(EBADF);
  }
  if (buffer.empty()) {
    return IoResult::Failure(EINVAL);
  }
  // hidraw puts the report ID in byte 0, where the link expects it.
  const int timeout = static_cast<int>(std::min<std::uint32_t>(options_.readTimeoutMs, INT_MAX));
  errno = 0;
  const int n = hid_read_timeout(AsDevice(handle), buffer.data(), buffer.size(), timeout);
  if (n < 0) {
    return IoResult::Failure(OsErrorOr(EIO));
  }
  if (n == 0) {
    // hidapi returns 0 when no report came within the time-out.
    return IoResult::Failure(ETIMEDOUT);
  }
  // hidraw returns as many bytes as the device sent; what it did not send reads as zero, as
  // the Windows HID stack pads every report to the input report length.
  std::fill(buffer.begin() + std::min<std::size_t>(static_cast<std::size_t>(n), buffer.size()),
            buffer.end(), std::uint8_t{0});
  return IoResult::Success();
}

ListenResult HidapiTransport::Listen(DeviceHandle handle, std::span<std::uint8_t> buffer,
                                     std::uint32_t timeoutMs) {
  if (Find(handle) == nullptr) {
    return ListenResult::Failure(EBADF);
  }
  if (buffer.empty()) {
    return ListenResult::Failure(EINVAL);
  }
  // Every holder of a hidraw node receives every input report, whoever asked for it.
  const int timeout = static_cast<int>(std::min<std::uint32_t>(timeoutMs, INT_MAX));
  errno = 0;
  const int n = hid_read_timeout(AsDevice(handle), buffer.data(), buffer.size(), timeout);
  if (n < 0) {
    return ListenResult::Failure(OsErrorOr(EIO));
  }
  return n == 0 ? ListenResult::Quiet() : ListenResult::Heard();
}

void HidapiTransport::CloseDevice(DeviceHandle handle) {
  if (const OpenDevice* device = Find(handle)) {
    std::erase_if(open_, [&](const auto& open) { return open.get() == device; });
  }
}

#pragma once

#include <cerrno>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/hidapi/sysfs_descriptor.h"
#include "protocol/hid_transport.h"
#include "protocol/unit_filter.h"

struct hid_device_;  // hidapi's device (hid_device)

// A programming unit that was listed but could not be opened.
struct OpenFailure {
  std::string path;
  int error = 0;  // errno of the failed open
  // The node exists but this user may not open it (on Linux: no udev rule grants access).
  bool permissionDenied() const { return error == EACCES || error == EPERM; }
};

struct HidapiOptions {
  // A unit that stops answering fails the read after this long, as on Windows.
  std::uint32_t readTimeoutMs = 10'000;
  // Where Linux publishes hidraw report descriptors (used when hidapi cannot give them).
  std::string sysfsRoot = HIDRAW_SYSFS_ROOT;
};

// HidTransport on hidapi (hidraw on Linux, IOHIDManager on macOS): a byte mover. Report IDs,
// padding and validation belong to the codec. One per process: it initialises hidapi and shuts it
// down again, closing any device still open.
class HidapiTransport final : public HidTransport {
 public:
  explicit HidapiTransport(HidapiOptions options = {});
  ~HidapiTransport() override;
  HidapiTransport(const HidapiTransport&) = delete;
  HidapiTransport& operator=(const HidapiTransport&) = delete;

  // The first unit in enumeration order that opens.
  RequestResult FindAndOpen(OpenedDevice& out) override;
  IoResult GetReportLengths(DeviceHandle handle, ReportLengths& out) override;
  IoResult WriteReport(DeviceHandle handle, std::span<const std::uint8_t> report) override;
  IoResult ReadReport(DeviceHandle handle, std::span<std::uint8_t> buffer) override;
  ListenResult Listen(DeviceHandle handle, std::span<std::uint8_t> buffer,
                      std::uint32_t timeoutMs) override;
  void CloseDevice(DeviceHandle handle) override;

  // Every programming unit present, in enumeration order, each node once.
  std::vector<UnitListing> ListUnits();
  // Opens the unit at `path` (as ListUnits gives it): RESULT_NOT_FOUND when no unit is listed
  // there or it cannot be opened (see openFailures()).
  ResultCode OpenPath(const std::string& path, OpenedDevice& out);
  // The units the last FindAndOpen or OpenPath found but could not open, in the order tried.
  const std::vector<OpenFailure>& openFailures() const { return openFailures_; }

 private:
  struct OpenDevice;
  ResultCode OpenFirst(const std::optional<std::string>& onlyPath, OpenedDevice& out);
  OpenDevice* Find(DeviceHandle handle);
  bool ReadDescriptor(const OpenDevice& device, std::vector<std::uint8_t>& out);

  HidapiOptions options_;
  bool initialised_ = false;
  // hidapi's hid_get_report_descriptor where the installed library has it (0.14 on), else null.
  int (*getReportDescriptor_)(hid_device_*, unsigned char*, std::size_t) = nullptr;
  std::vector<OpenFailure> openFailures_;
  std::vector<std::unique_ptr<OpenDevice>> open_;
};

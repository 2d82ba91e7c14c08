#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "protocol/hid_transport.h"
#include "sim/device_plan.h"
#include "sim/simulated_unit.h"

namespace sim {

// One HID interface on the simulated bus: where it is, as planned, and its unit (null for a
// device that is no unit).
struct SimDevice {
  DevicePath path;
  DevicePlan plan;
  std::shared_ptr<SimulatedUnit> unit;
};

// The OS error values failed transfers carry (the Windows values).
inline constexpr std::uint32_t SIM_ERROR_INVALID_HANDLE = 6;      // handle not open
inline constexpr std::uint32_t SIM_ERROR_GEN_FAILURE = 31;        // device gone / I/O failed
inline constexpr std::uint32_t SIM_ERROR_INVALID_PARAMETER = 87;  // report of the wrong length
inline constexpr std::uint32_t SIM_ERROR_DEVICE_NOT_CONNECTED = 1167;
inline constexpr std::uint32_t SIM_ERROR_TIMEOUT = 1460;  // silent unit

// HidTransport over a list of simulated devices, enumerated in list order.
class SimTransport : public HidTransport {
 public:
  using Clock = std::function<std::uint64_t()>;

  explicit SimTransport(Clock clock);

  std::vector<SimDevice>& devices() { return devices_; }
  // Puts the planned device on the bus, last in enumeration order; returns its unit (null for a
  // device that is no unit). A plan this bus cannot play is a mistake in the test: it is named
  // on stderr and the process ends.
  std::shared_ptr<SimulatedUnit> Plug(DevicePath path, const DevicePlan& plan);
  // Removes a device from the bus (open handles to it then fail like a vanished unit).
  void Unplug(const DevicePath& path);

  bool enumerationFails = false;   // FindAndOpen returns RESULT_NO_DEVICE
  std::vector<DevicePath> opened;  // every path opened (matching or not), in order
  int openHandles() const;

  RequestResult FindAndOpen(OpenedDevice& out) override;
  // Opens the programming unit at `path` (RESULT_NOT_FOUND when there is none, or it cannot be
  // opened); `accessDenied` tells a refusal by permission apart.
  ResultCode OpenPath(const DevicePath& path, OpenedDevice& out, bool& accessDenied);
  IoResult GetReportLengths(DeviceHandle handle, ReportLengths& out) override;
  IoResult WriteReport(DeviceHandle handle, std::span<const std::uint8_t> report) override;
  IoResult ReadReport(DeviceHandle handle, std::span<std::uint8_t> buffer) override;
  // Hears what the unit sent to another program (SimulatedUnit::StartOtherTalker); the virtual
  // clock is not advanced.
  ListenResult Listen(DeviceHandle handle, std::span<std::uint8_t> buffer,
                      std::uint32_t timeoutMs) override;
  void CloseDevice(DeviceHandle handle) override;

 private:
  class Walk;

  Clock clock_;
  std::vector<SimDevice> devices_;
  // open handle -> device (kept alive even after unplug)
  struct OpenEntry {
    DeviceHandle handle;
    SimDevice device;
    bool unplugged = false;
  };
  std::vector<OpenEntry> open_;
  DeviceHandle nextHandle_ = 0x100;

  OpenEntry* Find(DeviceHandle handle);
};

}  // namespace sim

#pragma once

#include <cstdint>
#include <span>

#include "protocol/device_path.h"
#include "protocol/result_code.h"

// Same bit pattern as Windows' INVALID_HANDLE_VALUE.
using DeviceHandle = std::uintptr_t;
inline constexpr DeviceHandle INVALID_DEVICE_HANDLE = ~DeviceHandle{0};

struct OpenedDevice {
  DeviceHandle handle = INVALID_DEVICE_HANDLE;
  DevicePath path;
  std::uint16_t productId = 0;
};

struct ReportLengths {
  std::uint32_t input = 0;   // includes the report-ID byte
  std::uint32_t output = 0;  // includes the report-ID byte
};

// The outcome of moving one report. A failure carries the OS error of the call that failed,
// taken right there, so nothing that runs afterwards (a wait, closing a window, fetching a text)
// can change what the user is shown.
struct IoResult {
  bool ok = true;
  std::uint32_t osError = 0;

  static IoResult Success() { return {}; }
  static IoResult Failure(std::uint32_t osError) { return {false, osError}; }
  bool operator==(const IoResult&) const = default;
};

// What listening to a unit heard: nothing, a report nobody here asked for (another program talks
// to the unit), or a failure of the device with its OS error.
struct ListenResult {
  enum class Outcome { Quiet, Heard, Failed };
  Outcome outcome = Outcome::Quiet;
  std::uint32_t osError = 0;

  static ListenResult Quiet() { return {}; }
  static ListenResult Heard() { return {Outcome::Heard, 0}; }
  static ListenResult Failure(std::uint32_t osError) { return {Outcome::Failed, osError}; }
  bool operator==(const ListenResult&) const = default;
};

// Moves raw HID reports; report IDs, padding and validation belong to the codec.
class HidTransport {
 public:
  virtual ~HidTransport() = default;

  // 0 and `out` filled, RESULT_NO_DEVICE when enumeration cannot start, RESULT_NOT_FOUND when no
  // interface of the maker's vendor ID with product ID 1 or 2 could be opened.
  virtual RequestResult FindAndOpen(OpenedDevice& out) = 0;
  // `out` filled, or a failure with the OS error of the call that could not tell the lengths
  // (0 where no call failed, e.g. a device that states no such report).
  virtual IoResult GetReportLengths(DeviceHandle handle, ReportLengths& out) = 0;
  // Writes all of `report`.
  virtual IoResult WriteReport(DeviceHandle handle, std::span<const std::uint8_t> report) = 0;
  // Reads one input report into `buffer` (the caller sizes it to the input report length).
  virtual IoResult ReadReport(DeviceHandle handle, std::span<std::uint8_t> buffer) = 0;
  // Waits up to `timeoutMs` (0: only looks) for an input report while no request of ours is
  // outstanding; one that comes is read into `buffer` (sized as for ReadReport).
  virtual ListenResult Listen(DeviceHandle handle, std::span<std::uint8_t> buffer,
                              std::uint32_t timeoutMs) = 0;
  virtual void CloseDevice(DeviceHandle handle) = 0;
};

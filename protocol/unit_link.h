#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "protocol/hid_transport.h"
#include "protocol/result_code.h"

inline constexpr std::uint16_t ESC_STATE_READY = 3;
inline constexpr std::uint16_t ESC_VERSION_NONE = 0xFFFF;

// Identify reply fields stored when the unit is not in the ESC-relay mode (kept, not used).
struct OtherModeFields {
  std::uint8_t byte4 = 0;
  std::uint16_t word5 = 0;
  std::uint32_t dword7 = 0;
  std::uint32_t dword11 = 0;
  std::uint8_t byte15 = 0;
};

// The one connection to a programming unit and everything learned about it. The fields are
// public because the interface logic reads them directly; when no unit is open every field is
// in its reset state.
class UnitLink {
 public:
  DeviceHandle handle = INVALID_DEVICE_HANDLE;
  std::optional<std::wstring> devicePath;
  std::uint32_t outputReportLength = 0;
  std::uint32_t inputReportLength = 0;
  std::uint8_t unitMode = 0;
  std::uint32_t unitVersion = 0;
  std::uint32_t unitVersionAux = 0;
  std::uint16_t escState = 0;
  std::uint16_t escStateAux = 0;
  OtherModeFields otherMode;
  std::array<std::uint8_t, 32> escInfo{};
  std::array<std::uint8_t, 40> escBootInfo{};
  std::uint16_t productId = 0;

  // Views into the two information blocks.
  std::uint16_t escFirmwareVersion() const;  // escInfo bytes 4..5
  void setEscFirmwareVersion(std::uint16_t version);
  std::uint32_t escTypeId() const;             // escBootInfo bytes 0..3
  std::uint32_t escBootloaderVersion() const;  // escBootInfo bytes 4..7

  bool IsOpen() const { return handle != INVALID_DEVICE_HANDLE; }

  // Bound once at start-up (tests bind the simulated unit's transport).
  void BindTransport(HidTransport* transport) { transport_ = transport; }

  ResultCode Open();
  ResultCode Query();
  void Close();

  // Lock set returns a result; lock release (the closing pair) returns 0 and is never judged.
  ResultCode SetSystemLock(bool on);
  // Release returns a result; set (the closing pair) returns 0 and is never judged.
  ResultCode SetEscWriteProtection(bool on);
  ResultCode Erase();
  ResultCode SetAddress();
  // Sends the first `wordCount` 32-bit words of `block` (image byte order). More than 14 words,
  // or a block shorter than 4 * wordCount bytes, gives RESULT_NO_DEVICE before any I/O.
  ResultCode WriteBlock(std::span<const std::uint8_t> block, std::size_t wordCount);

 private:
  HidTransport* transport_ = nullptr;
};

// The process-wide link.
UnitLink& TheUnitLink();

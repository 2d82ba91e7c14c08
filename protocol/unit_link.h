#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "protocol/hid_transport.h"
#include "protocol/os_services.h"
#include "protocol/result_code.h"
#include "protocol/unit_identity.h"
#include "protocol/unit_report.h"

// The one connection to a programming unit: the open device, its report lengths and what
// identification learned about it. Closed, it holds no device and every value is reset.
class UnitLink {
 public:
  UnitLink(HidTransport& transport, OsServices& os) : transport_(transport), os_(os) {}
  ~UnitLink() { Close(); }
  UnitLink(const UnitLink&) = delete;
  UnitLink& operator=(const UnitLink&) = delete;

  bool IsOpen() const { return handle_ != INVALID_DEVICE_HANDLE; }
  // The open unit's interface path, to recognise its removal; empty when closed.
  const std::wstring& devicePath() const { return devicePath_; }
  const ReportLengths& reportLengths() const { return lengths_; }
  const UnitIdentity& identity() const { return identity_; }

  // Close, find the first unit and identify it.
  ResultCode Open();
  // Close, take `device` (already opened by the caller's transport) and identify it.
  ResultCode Open(OpenedDevice device);
  // The identify sequence on the open unit. A failure leaves the unit open with whatever
  // identification had learned by then.
  ResultCode Query();
  void Close();

  // After a successful update: the ESC now holds `version`.
  void RecordInstalledFirmware(std::uint16_t version) {
    identity_.RecordInstalledFirmware(version);
  }

  // Lock set returns a result; lock release (one of the closing pair) is never judged.
  ResultCode SetSystemLock(bool on);
  // Release returns a result; set (the other of the closing pair) is never judged.
  ResultCode SetEscWriteProtection(bool on);
  ResultCode Erase();
  ResultCode SetAddress();
  // Sends the first `wordCount` 32-bit words of `block` (image byte order). More than 14 words,
  // or a block shorter than 4 * wordCount bytes, gives RESULT_NO_DEVICE before any I/O.
  ResultCode WriteBlock(std::span<const std::uint8_t> block, std::size_t wordCount);

 private:
  struct ExchangeOptions {
    ResultCode writeFailure = RESULT_WRITE_FAILED;
    std::uint32_t waitBeforeReadMs = 0;
  };

  template <typename Rule>
  ResultCode Exchange(const UnitRequest& request, Rule&& rule, ExchangeOptions options);
  template <typename Rule>
  ResultCode Exchange(const UnitRequest& request, Rule&& rule) {
    return Exchange(request, rule, ExchangeOptions{});
  }

  HidTransport& transport_;
  OsServices& os_;
  DeviceHandle handle_ = INVALID_DEVICE_HANDLE;
  std::wstring devicePath_;
  ReportLengths lengths_;
  UnitIdentity identity_;
};

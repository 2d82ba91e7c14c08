#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "protocol/device_path.h"
#include "protocol/hid_transport.h"
#include "protocol/result_code.h"
#include "protocol/unit_identity.h"
#include "protocol/unit_report.h"
#include "protocol/waiter.h"

// The one connection to a programming unit: the open device, its report lengths and what
// identification learned about it. Closed, it holds no device and every value is reset.
//
// Every request returns its result code with the OS error of the call that failed it, if one did.
class UnitLink {
 public:
  // How long a unit is listened to before our first request to it, and again before an update's
  // first. A program at the unit's pace sends a request at least every 20 ms and the unit answers
  // within a few; 60 ms hears at least two of its replies, even with a late timer.
  static constexpr std::uint32_t LISTEN_MS = 60;

  UnitLink(HidTransport& transport, Waiter& waiter) : transport_(transport), waiter_(waiter) {}
  ~UnitLink() { Close(); }
  UnitLink(const UnitLink&) = delete;
  UnitLink& operator=(const UnitLink&) = delete;

  bool IsOpen() const { return handle_ != INVALID_DEVICE_HANDLE; }
  // The open unit's interface path, to recognise its removal; empty when closed.
  const DevicePath& devicePath() const { return devicePath_; }
  const ReportLengths& reportLengths() const { return lengths_; }
  const UnitIdentity& identity() const { return identity_; }
  // The last Open found the unit busy by hearing another program talk to it, rather than by a
  // claim refused: something that claims nothing this program can see (the browser sees no
  // other program's claim, for one). Cleared by the next Open.
  bool heardOthersAtOpen() const { return heardOthersAtOpen_; }

  // Close, find the first unit and identify it.
  RequestResult Open();
  // Close, take `device` (already opened by the caller's transport), listen for another program
  // talking to it and identify it. A unit someone else talks to is closed again and gives
  // RESULT_BUSY: untouched when heard while listening, after the request that heard it otherwise.
  RequestResult Open(OpenedDevice device);
  // The identify sequence on the open unit. A failure leaves the unit open with whatever
  // identification had learned by then.
  RequestResult Query();
  void Close();

  // After a successful update: the ESC now holds `version`.
  void RecordInstalledFirmware(std::uint16_t version) {
    identity_.RecordInstalledFirmware(version);
  }

  // Lock set returns a result; lock release (one of the closing pair) is never judged. Lock set
  // begins an update, so the unit is listened to again first: RESULT_BUSY (nothing sent) when
  // another program talks to it.
  RequestResult SetSystemLock(bool on);
  // Release (opening the ESC's flash) returns a result; set (closing it again, the other of the
  // closing pair) is never judged.
  RequestResult SetEscWriteProtection(bool on);
  RequestResult Erase();
  RequestResult SetAddress();
  // Sends the first `wordCount` 32-bit words of `block` (image byte order). More than 14 words,
  // or a block shorter than 4 * wordCount bytes, gives RESULT_NO_DEVICE before any I/O.
  RequestResult WriteBlock(std::span<const std::uint8_t> block, std::size_t wordCount);

 private:
  struct ExchangeOptions {
    ResultCode writeFailure = RESULT_WRITE_FAILED;
    std::uint32_t waitBeforeReadMs = 0;
  };

  template <typename Rule>
  RequestResult Exchange(const UnitRequest& request, Rule&& rule, ExchangeOptions options);
  // Listens for `timeoutMs`: RESULT_BUSY when something came, otherwise 0.
  RequestResult ListenForOthers(std::uint32_t timeoutMs);
  // A report is there to take now, without waiting: nobody here asked for it.
  bool ReportWaiting();
  template <typename Rule>
  RequestResult Exchange(const UnitRequest& request, Rule&& rule) {
    return Exchange(request, rule, ExchangeOptions{});
  }

  HidTransport& transport_;
  Waiter& waiter_;
  DeviceHandle handle_ = INVALID_DEVICE_HANDLE;
  DevicePath devicePath_;
  ReportLengths lengths_;
  UnitIdentity identity_;
  // Set once a report came that no request of ours explains; from then on nothing is sent.
  bool othersHeard_ = false;
  bool heardOthersAtOpen_ = false;
};

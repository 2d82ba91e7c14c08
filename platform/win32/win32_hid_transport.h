#pragma once

#include <windows.h>

#include <cstddef>
#include <map>
#include <memory>

#include "platform/win32/hid_library.h"
#include "platform/win32/posted_read.h"
#include "protocol/hid_transport.h"

// HidTransport on SetupAPI, hid.dll and overlapped ReadFile/WriteFile. Each open unit keeps one
// read posted from its first request on: it is posted before a request is written and again as
// soon as a reply has been taken, so a reply never arrives with no read waiting for it.
class Win32HidTransport final : public HidTransport {
 public:
  // A unit that stops answering fails the request after this long instead of stalling the
  // interface thread; its OS error is then ERROR_TIMEOUT.
  static constexpr DWORD TRANSFER_TIMEOUT_MS = 10'000;

  // `hid` must be loaded and outlive the transport.
  explicit Win32HidTransport(const HidLibrary& hid, DWORD transferTimeoutMs = TRANSFER_TIMEOUT_MS)
      : hid_(hid), transferTimeoutMs_(transferTimeoutMs) {}

  RequestResult FindAndOpen(OpenedDevice& out) override;
  IoResult GetReportLengths(DeviceHandle handle, ReportLengths& out) override;
  IoResult WriteReport(DeviceHandle handle, std::span<const std::uint8_t> report) override;
  IoResult ReadReport(DeviceHandle handle, std::span<std::uint8_t> buffer) override;
  // Waits on the unit's posted read; when nothing came, the read stays posted.
  ListenResult Listen(DeviceHandle handle, std::span<std::uint8_t> buffer,
                      std::uint32_t timeoutMs) override;
  void CloseDevice(DeviceHandle handle) override;

 private:
  // The unit's read, made with the input report length when GetReportLengths has told it, or
  // with the caller's buffer length at the first read otherwise.
  struct UnitReads {
    std::size_t inputLength = 0;
    std::unique_ptr<PostedRead> read;
  };
  PostedRead* ReadOf(DeviceHandle handle, std::size_t fallbackLength);

  const HidLibrary& hid_;
  DWORD transferTimeoutMs_;
  std::map<DeviceHandle, UnitReads> reads_;
};

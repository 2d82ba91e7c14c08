#pragma once

#include <windows.h>

#include "platform/win32/hid_library.h"
#include "protocol/hid_transport.h"

// HidTransport on SetupAPI, hid.dll and overlapped ReadFile/WriteFile.
class Win32HidTransport final : public HidTransport {
 public:
  // A unit that stops answering fails the request after this long instead of stalling the
  // interface thread; its OS error is then ERROR_TIMEOUT.
  static constexpr DWORD TRANSFER_TIMEOUT_MS = 10'000;

  // `hid` must be loaded and outlive the transport.
  explicit Win32HidTransport(const HidLibrary& hid, DWORD transferTimeoutMs = TRANSFER_TIMEOUT_MS)
      : hid_(hid), transferTimeoutMs_(transferTimeoutMs) {}

  ResultCode FindAndOpen(OpenedDevice& out) override;
  bool GetReportLengths(DeviceHandle handle, ReportLengths& out) override;
  IoResult WriteReport(DeviceHandle handle, std::span<const std::uint8_t> report) override;
  IoResult ReadReport(DeviceHandle handle, std::span<std::uint8_t> buffer) override;
  void CloseDevice(DeviceHandle handle) override;

 private:
  const HidLibrary& hid_;
  DWORD transferTimeoutMs_;
};

// The simulated HID bus shared by the end-to-end driver and the hid.dll / setupapi.dll doubles.
//
// The driver publishes the present devices under HKCU\Software\PeloraE2E\HidBus\<bus>, where
// <bus> is the value of the environment variable E2E_HID_BUS that the driver puts into the
// program's environment block (so parallel runs in one prefix never see each other's devices).
//   Devices          REG_BINARY  the devices in enumeration order, as every rig lists them
//                                (sim::MessageWriter::Entries); each path is a named pipe's
// The doubles report back under the same key:
//   OpenSets, OpenPreparsed  REG_DWORD  device-info sets / preparsed data not yet released
//   Misuse                   REG_SZ     calls made against the documented contract, one a line
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "protocol/device_path.h"

namespace e2e {

inline constexpr wchar_t kBusRoot[] = L"Software\\PeloraE2E\\HidBus";
inline constexpr wchar_t kBusEnvironmentVariable[] = L"E2E_HID_BUS";

inline std::wstring BusKeyPath(const std::wstring& bus) {
  return std::wstring(kBusRoot) + L"\\" + bus;
}

// A listing's UTF-8 text as Windows takes it.
inline std::wstring FromUtf8(const std::string& text) {
  if (text.empty())
    return {};
  const int n =
      MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
  return wide;
}

// The pipe name part of "\\.\pipe\<name>".
inline std::wstring PipeNameOf(const std::wstring& path) {
  static constexpr wchar_t prefix[] = L"\\\\.\\pipe\\";
  constexpr std::size_t n = sizeof(prefix) / sizeof(wchar_t) - 1;
  if (path.size() > n &&
      SameDevicePath(std::wstring_view(path).substr(0, n), std::wstring_view(prefix)))
    return path.substr(n);
  return path;
}

}  // namespace e2e

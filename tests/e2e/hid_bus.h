// The simulated HID bus shared by the end-to-end driver and the hid.dll / setupapi.dll doubles.
//
// The driver publishes the present devices under HKCU\Software\PeloraE2E\HidBus\<bus>, where
// <bus> is the value of the environment variable E2E_HID_BUS that the driver puts into the
// program's environment block (so parallel runs in one prefix never see each other's devices).
//   Devices          REG_MULTI_SZ  one device per string, in enumeration order:
//                                  <path>|<vendor hex>|<product hex>|<input len>|<output
//                                  len>|<flags> flags: 'a' attributes unreadable, 'c' capabilities
//                                  unreadable
//   EnumerationFails REG_DWORD     nonzero: SetupDiGetClassDevsW returns INVALID_HANDLE_VALUE
// The doubles report back under the same key:
//   OpenSets, OpenPreparsed  REG_DWORD  device-info sets / preparsed data not yet released
//   Misuse                   REG_SZ     calls made against the documented contract, one a line
#pragma once

#include <windows.h>

#include <cstdint>
#include <cwchar>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/device_path.h"

namespace e2e {

inline constexpr wchar_t kBusRoot[] = L"Software\\PeloraE2E\\HidBus";
inline constexpr wchar_t kBusEnvironmentVariable[] = L"E2E_HID_BUS";

struct BusDevice {
  std::wstring path;
  std::uint16_t vendorId = 0;
  std::uint16_t productId = 0;
  std::uint16_t inputReportLength = 65;
  std::uint16_t outputReportLength = 65;
  bool attributesReadable = true;
  bool capsReadable = true;
};

inline std::wstring BusKeyPath(const std::wstring& bus) {
  return std::wstring(kBusRoot) + L"\\" + bus;
}

inline std::wstring FormatBusDevice(const BusDevice& d) {
  wchar_t numbers[96];
  std::swprintf(numbers, 96, L"|%04x|%04x|%u|%u|", static_cast<unsigned>(d.vendorId),
                static_cast<unsigned>(d.productId), static_cast<unsigned>(d.inputReportLength),
                static_cast<unsigned>(d.outputReportLength));
  std::wstring s = d.path + numbers;
  if (!d.attributesReadable)
    s += L'a';
  if (!d.capsReadable)
    s += L'c';
  return s;
}

// False for a malformed entry.
inline bool ParseBusDevice(const std::wstring& s, BusDevice& out) {
  std::vector<std::wstring> fields;
  std::size_t start = 0;
  for (;;) {
    std::size_t bar = s.find(L'|', start);
    fields.push_back(s.substr(start, bar == std::wstring::npos ? std::wstring::npos : bar - start));
    if (bar == std::wstring::npos)
      break;
    start = bar + 1;
  }
  if (fields.size() != 6 || fields[0].empty())
    return false;
  out.path = fields[0];
  out.vendorId = static_cast<std::uint16_t>(std::wcstoul(fields[1].c_str(), nullptr, 16));
  out.productId = static_cast<std::uint16_t>(std::wcstoul(fields[2].c_str(), nullptr, 16));
  out.inputReportLength = static_cast<std::uint16_t>(std::wcstoul(fields[3].c_str(), nullptr, 10));
  out.outputReportLength = static_cast<std::uint16_t>(std::wcstoul(fields[4].c_str(), nullptr, 10));
  out.attributesReadable = fields[5].find(L'a') == std::wstring::npos;
  out.capsReadable = fields[5].find(L'c') == std::wstring::npos;
  return true;
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

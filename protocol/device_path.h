#pragma once

#include <string>
#include <string_view>

// A device's path as the operating system gives it: UTF-16 on Windows (SetupAPI, device
// broadcasts), bytes elsewhere (hidraw node names, WebHID ids). Kept as it came, never
// re-encoded, so that a removal's path can be compared with the path the unit was opened by.
#ifdef _WIN32
using DevicePathChar = wchar_t;
#else
using DevicePathChar = char;
#endif
using DevicePath = std::basic_string<DevicePathChar>;
using DevicePathView = std::basic_string_view<DevicePathChar>;

// Whether two device interface paths name the same device. Windows may report a device's path
// in another case of A to Z than enumeration returned it; the fold is ASCII-only on purpose,
// because any other difference (a locale's case rules included) makes it another path.
template <typename Char>
bool SameDevicePath(std::basic_string_view<Char> a, std::basic_string_view<Char> b) {
  const auto fold = [](Char c) {
    return (c >= Char('a') && c <= Char('z')) ? static_cast<Char>(c - Char('a') + Char('A')) : c;
  };
  if (a.size() != b.size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (fold(a[i]) != fold(b[i])) {
      return false;
    }
  }
  return true;
}

inline bool SameDevicePath(const DevicePath& a, const DevicePath& b) {
  return SameDevicePath(DevicePathView(a), DevicePathView(b));
}

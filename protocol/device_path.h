#pragma once

#include <string_view>

// Whether two device interface paths name the same device. Windows may report a device's path
// in another case of A to Z than enumeration returned it; the fold is ASCII-only on purpose,
// because any other difference (a locale's case rules included) makes it another path.
inline bool SameDevicePath(std::wstring_view a, std::wstring_view b) {
  auto fold = [](wchar_t c) {
    return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - L'a' + L'A') : c;
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

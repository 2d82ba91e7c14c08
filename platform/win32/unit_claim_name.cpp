#include "platform/win32/unit_claim_name.h"

#include <cstdint>

std::wstring UnitClaimName(std::wstring_view devicePath) {
  // FNV-1a, 64 bits, over the UTF-16 units with A to Z folded to a to z.
  std::uint64_t hash = 0xcbf29ce484222325ull;
  for (wchar_t c : devicePath) {
    if (c >= L'A' && c <= L'Z') {
      c = static_cast<wchar_t>(c - L'A' + L'a');
    }
    const auto unit = static_cast<std::uint16_t>(c);
    for (const std::uint8_t byte :
         {static_cast<std::uint8_t>(unit & 0xFF), static_cast<std::uint8_t>(unit >> 8)}) {
      hash ^= byte;
      hash *= 0x100000001b3ull;
    }
  }
  constexpr wchar_t kDigits[] = L"0123456789abcdef";
  std::wstring name = L"Global\\pelora-updater-unit-";
  for (int shift = 60; shift >= 0; shift -= 4) {
    name.push_back(kDigits[(hash >> shift) & 0xF]);
  }
  return name;
}

#include "win32/string_block.h"

#include <algorithm>

#include "protocol/byte_order.h"

std::wstring StringFromBlock(std::span<const std::uint8_t> block, std::uint32_t index,
                             std::size_t maxChars) {
  std::size_t at = 0;
  for (std::uint32_t entry = 0; entry < STRINGS_PER_BLOCK; ++entry) {
    if (at + 2 > block.size()) {
      return {};
    }
    const std::size_t length = GetU16LE(block, at);
    at += 2;
    if (at + length * 2 > block.size()) {
      return {};
    }
    if (entry == index) {
      std::wstring text;
      const std::size_t kept = std::min(length, maxChars);
      for (std::size_t unit = 0; unit < kept; ++unit) {
        text.push_back(static_cast<wchar_t>(GetU16LE(block, at + unit * 2)));
      }
      return text;
    }
    at += length * 2;
  }
  return {};
}

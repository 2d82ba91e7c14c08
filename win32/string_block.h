#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

// A string-table resource holds its strings in blocks of 16: block n (resource name n + 1) has
// the strings n * 16 .. n * 16 + 15, each a 16-bit length and that many UTF-16 units.
inline constexpr std::uint32_t STRINGS_PER_BLOCK = 16;
inline std::uint32_t StringBlockName(std::uint16_t id) {
  return id / STRINGS_PER_BLOCK + 1u;
}

// The string at `index` (0..15) of a block, at most `maxChars` characters, as LoadStringW into
// a buffer of maxChars + 1 would give it; empty when absent or when the block is cut short.
std::wstring StringFromBlock(std::span<const std::uint8_t> block, std::uint32_t index,
                             std::size_t maxChars);

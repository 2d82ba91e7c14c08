#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// The 14-word block the probe's flash step writes, so a test can compare the unit's flash.
constexpr std::array<std::uint8_t, 56> ProbeBlock() {
  std::array<std::uint8_t, 56> bytes{};
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    bytes[i] = static_cast<std::uint8_t>(0xA5 ^ (i * 13));
  }
  return bytes;
}

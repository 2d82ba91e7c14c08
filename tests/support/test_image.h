#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// A firmware image for tests: deterministic bytes with every value occurring, 0xFF included, so
// that a byte dropped, repeated or padded wrongly shows.
inline std::vector<std::uint8_t> MakeTestImage(std::size_t length) {
  std::vector<std::uint8_t> image(length);
  std::uint32_t state = 0x2545F491u;
  for (auto& byte : image) {
    state = state * 1664525u + 1013904223u;
    byte = static_cast<std::uint8_t>(state >> 24);
  }
  return image;
}

// The request bytes the unit must receive, written out from the protocol table rather than taken
// from the program's codec, so that a wrong byte in the program cannot agree with itself. The one
// source of these expectations for the host tests, the Wine suite and its fault matrix (standard
// C++ only: it is also built with mingw).
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

namespace expected {

// One request as the protocol fixes it: -1 marks a byte without a fixed value. Bytes past the
// pattern carry no meaning.
struct RequestPattern {
  std::string name;
  std::vector<int> bytes;
};

inline constexpr std::size_t kBlockBytes = 48;

namespace detail {
// FLASH_KEY 0x6B2E9D47, little-endian.
inline void AppendKey(std::vector<int>& bytes) {
  bytes.insert(bytes.end(), {0x47, 0x9D, 0x2E, 0x6B});
}
}  // namespace detail

inline RequestPattern Identify() {
  return {"identify", {0x01, 0x08, 0x00}};
}
inline RequestPattern ReadUnitMemory() {
  return {"read unit memory", {0x01, 0x0A, 0x0C, -1, 0x00, 0xFC, 0x01, 0x08}};
}
inline RequestPattern ReadEscInfo() {
  return {"read ESC info", {0x01, 0x1D, 0x08, -1, 0x20, 0x00, 0x00, 0x00, 0xE0, 0xFF, 0xFF, 0xFF}};
}
// Byte 2 is passed on from the information reply and has no fixed value.
inline RequestPattern ReadEscBootInfo() {
  return {"read ESC boot info", {0x01, 0x22}};
}
inline RequestPattern LockSet() {
  return {"lock set", {0x01, 0x0B, 0x01, 0x01}};
}
inline RequestPattern LockRelease() {
  return {"lock release", {0x01, 0x0B, 0x01, 0x00}};
}
inline RequestPattern ProtectionRelease() {
  return {"protection release", {0x01, 0x20, 0x01, 0x00}};
}
inline RequestPattern ProtectionSet() {
  return {"protection set", {0x01, 0x20, 0x01, 0x01}};
}
inline RequestPattern Erase() {
  RequestPattern p{"erase", {0x01, 0x1E, 0x04, -1}};
  detail::AppendKey(p.bytes);
  return p;
}
inline RequestPattern SetAddress() {
  RequestPattern p{"set address", {0x01, 0x1F, 0x09, 0x01, 0x00, 0x00, 0x00, 0x00}};
  detail::AppendKey(p.bytes);
  return p;
}
// `data` is the whole block as sent: its length is the length byte.
inline RequestPattern WriteBlock(std::span<const std::uint8_t> data) {
  RequestPattern p{"write block", {0x01, 0x1B, static_cast<int>(data.size()), -1}};
  p.bytes.insert(p.bytes.end(), data.begin(), data.end());
  return p;
}

// The identification of a unit with a ready ESC.
inline std::vector<RequestPattern> ReadyIdentification() {
  return {Identify(), ReadEscInfo(), ReadEscBootInfo()};
}

// The blocks an image is sent in: 48-byte blocks, then the tail from a 0xFF-filled buffer padded
// to whole words, so that no image byte is dropped.
inline std::vector<std::vector<std::uint8_t>> UpdateBlocks(std::span<const std::uint8_t> image) {
  std::vector<std::vector<std::uint8_t>> blocks;
  for (std::size_t at = 0; at < image.size(); at += kBlockBytes) {
    const std::size_t take = std::min(kBlockBytes, image.size() - at);
    std::vector<std::uint8_t> block(image.begin() + static_cast<std::ptrdiff_t>(at),
                                    image.begin() + static_cast<std::ptrdiff_t>(at + take));
    block.resize((take + 3) / 4 * 4, 0xFF);
    blocks.push_back(std::move(block));
  }
  return blocks;
}

// What the ESC flash holds after a whole update of `image`.
inline std::vector<std::uint8_t> FlashAfterUpdate(std::span<const std::uint8_t> image) {
  std::vector<std::uint8_t> flash(image.begin(), image.end());
  flash.resize((image.size() + 3) / 4 * 4, 0xFF);
  return flash;
}

// The first `count` requests of an update from the lock stage on (all of them when `count` is
// larger): the four stages, the blocks, then the closing pair.
inline std::vector<RequestPattern> UpdateRequests(std::span<const std::uint8_t> image,
                                                  std::size_t count = SIZE_MAX) {
  std::vector<RequestPattern> r = {LockSet(), ProtectionRelease(), Erase(), SetAddress()};
  for (const auto& block : UpdateBlocks(image)) {
    r.push_back(WriteBlock(block));
  }
  r.push_back(ProtectionSet());
  r.push_back(LockRelease());
  if (count < r.size()) {
    r.resize(count);
  }
  return r;
}

// The first `n` bytes in hex, each followed by a space, for failure messages.
inline std::string Hex(std::span<const std::uint8_t> bytes, std::size_t n) {
  std::string s;
  char buf[4];
  for (std::size_t i = 0; i < n && i < bytes.size(); ++i) {
    std::snprintf(buf, sizeof buf, "%02x ", bytes[i]);
    s += buf;
  }
  return s;
}

// Empty when `actual` matches the pattern, else what differs, for a failure message.
inline std::string Mismatch(const RequestPattern& pattern, std::span<const std::uint8_t> actual) {
  for (std::size_t i = 0; i < pattern.bytes.size(); ++i) {
    if (pattern.bytes[i] < 0) {
      continue;
    }
    if (i >= actual.size() || actual[i] != pattern.bytes[i]) {
      char buf[96];
      if (i < actual.size()) {
        std::snprintf(buf, sizeof buf, "byte %zu is %02x, expected %02x", i, actual[i],
                      pattern.bytes[i]);
      } else {
        std::snprintf(buf, sizeof buf, "byte %zu is missing, expected %02x", i, pattern.bytes[i]);
      }
      return pattern.name + ": " + buf + " (request starts " + Hex(actual, 12) + ")";
    }
  }
  return {};
}

}  // namespace expected

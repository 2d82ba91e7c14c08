#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

// SHA-256 (FIPS 180-4), small and portable: enough to check the carried firmware image against the
// digest the build recorded. Not meant for secrets (no constant-time care, no wiping).
using Sha256Digest = std::array<std::uint8_t, 32>;

class Sha256 {
 public:
  Sha256();
  // Adds bytes to the message; may be called any number of times.
  void Update(std::span<const std::uint8_t> bytes);
  // The digest of everything added; the object is spent afterwards.
  Sha256Digest Finish();

 private:
  void Compress(const std::uint8_t* block);

  std::array<std::uint32_t, 8> state_;
  std::array<std::uint8_t, 64> buffer_{};
  std::size_t buffered_ = 0;
  std::uint64_t totalBytes_ = 0;
};

// The digest of `bytes` in one call.
Sha256Digest Sha256Of(std::span<const std::uint8_t> bytes);

#include <gtest/gtest.h>

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "update/sha256.h"

namespace {

std::string Hex(const Sha256Digest& digest) {
  std::string text;
  for (std::uint8_t byte : digest) {
    text.push_back("0123456789abcdef"[byte >> 4]);
    text.push_back("0123456789abcdef"[byte & 0xF]);
  }
  return text;
}

std::span<const std::uint8_t> Bytes(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// The FIPS 180-2 examples and the empty message.
TEST(Sha256, GivesTheStandardDigests) {
  struct Case {
    std::string_view message;
    const char* digest;
  };
  const Case cases[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlm"
       "nopqrsmnopqrstnopqrstu",
       "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Hex(Sha256Of(Bytes(c.message))), c.digest) << c.message.size() << " bytes";
  }
}

TEST(Sha256, GivesTheStandardDigestOfAMillionAsFedInUnevenPieces) {
  const std::vector<std::uint8_t> piece(997, 'a');
  Sha256 hash;
  std::size_t left = 1000000;
  while (left != 0) {
    const std::size_t take = left < piece.size() ? left : piece.size();
    hash.Update(std::span(piece).first(take));
    left -= take;
  }
  EXPECT_EQ(Hex(hash.Finish()), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

// Lengths around the padding's edges (55 bytes still take the length in their own block, 56 need
// a second one) and around whole blocks, each hashed in one piece and split at every position.
TEST(Sha256, PadsEveryLengthAroundABlockEdgeWhereverTheInputIsSplit) {
  struct Case {
    std::size_t length;
    const char* digest;  // of the bytes (i * 7 + 3) mod 256, from an independent implementation
  };
  const Case cases[] = {
      {1, "084fed08b978af4d7d196a7446a86b58009e636b611db16211b65a9aadff29c5"},
      {55, "e7313d333c272e639f790978283f9eb392e843d0f29b7016828bb1daa4aac70b"},
      {56, "4324d65f3c103567f5589c710bc08f8523f929a9272e3af36fc968e52abc6c27"},
      {57, "35df609437dcfea3279283ab79fd554e2bf78f8f7ae2de532d8ee300b09e8f73"},
      {63, "81c80242132f230c3bd41b3e63bbcff16107339549214a99614ff26664625055"},
      {64, "39e3d7b6b5d075d37d053ad89b24b41bef4f3c29760c84447cab3f3be1882241"},
      {65, "aacca6ff74fdbb296d165a45cecfa04e5127bc008770fbbdd48006f2d2fae95e"},
      {119, "9ce7368e4daf32341631b492e80359dc9f594b48453cd0dd5bf0b19279cc177e"},
      {120, "7836b787757e95e58b3ca5aec90b1b004e8deba1e50e9675af9cabf1a13a04b5"},
      {128, "d2742f1f4ac6bb7ca2b239ee18402ba8b3f9f8e652d2a72973c2b9ba11c08cf6"},
      {1000, "1e9bc38cbf860b9ec31918b065f9b52476c549a782e0e7990bed8ce3868d2371"},
  };
  for (const Case& c : cases) {
    std::vector<std::uint8_t> message(c.length);
    for (std::size_t i = 0; i < message.size(); ++i) {
      message[i] = static_cast<std::uint8_t>(i * 7 + 3);
    }
    EXPECT_EQ(Hex(Sha256Of(message)), c.digest) << c.length << " bytes in one piece";
    for (std::size_t split = 0; split <= message.size(); ++split) {
      Sha256 hash;
      hash.Update(std::span(message).first(split));
      hash.Update(std::span(message).subspan(split));
      const std::string digest = Hex(hash.Finish());
      if (digest != c.digest) {
        ADD_FAILURE() << c.length << " bytes split at " << split << ": " << digest;
        break;  // one split per length tells enough
      }
    }
  }
}

}  // namespace

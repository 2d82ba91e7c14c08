#pragma once

#include <cstdint>
#include <span>

#include "update/sha256.h"

// The firmware a front end carries: the image, used in place, and the SHA-256 digest the build
// recorded from the image file.
struct CarriedFirmware {
  std::span<const std::uint8_t> image;  // empty when the build carries none
  Sha256Digest digest{};
};

// Whether `image` is the image the build carried: its SHA-256 digest equals the one the build
// recorded from the image file. Every front end that carries an image checks it with this before
// anything is sent; a damaged copy must never reach the ESC's flash.
bool ImageIntact(std::span<const std::uint8_t> image, const Sha256Digest& expected);

enum class ImageCheck { Intact, Missing, Damaged };

// What the front ends check before they ask or send anything: an empty image would end in
// "success" right after the erase, a damaged one would flash damaged firmware.
ImageCheck CheckCarriedFirmware(const CarriedFirmware& firmware);

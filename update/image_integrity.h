#pragma once

#include <cstdint>
#include <span>

#include "update/sha256.h"

// Whether `image` is the image the build carried: its SHA-256 digest equals the one the build
// recorded from the image file. Every front end that carries an image checks it with this before
// anything is sent; a damaged copy must never reach the ESC's flash.
bool ImageIntact(std::span<const std::uint8_t> image, const Sha256Digest& expected);

#pragma once

#include <cstdint>
#include <span>

// The firmware image this build carries (the build's UPDATER_FIRMWARE_IMAGE, compiled in); empty
// when the build was given an empty file.
std::span<const std::uint8_t> CarriedImage();

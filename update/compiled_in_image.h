#pragma once

#include <cstdint>
#include <span>

// The firmware image this build carries (the build's UPDATER_FIRMWARE_IMAGE), compiled into the
// program by the front ends that have no resources to keep it in (updater_compile_in_image in
// cmake/compiled_in_image.cmake); empty when the build was given an empty file.
std::span<const std::uint8_t> CarriedImage();

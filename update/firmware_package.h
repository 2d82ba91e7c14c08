#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>

#include "firmware_version.h"  // generated from UPDATER_FIRMWARE_VERSION
#include "update/sha256.h"

inline constexpr std::uint8_t FIRMWARE_VERSION_MAJOR = UPDATER_FIRMWARE_VERSION_MAJOR;
inline constexpr std::uint8_t FIRMWARE_VERSION_MINOR = UPDATER_FIRMWARE_VERSION_MINOR;
inline constexpr std::uint16_t FIRMWARE_VERSION =
    static_cast<std::uint16_t>((FIRMWARE_VERSION_MAJOR << 8) | FIRMWARE_VERSION_MINOR);
inline constexpr std::array<std::uint32_t, 2> SUPPORTED_ESC_TYPES = {0x1422605A, 0x0A06405A};
inline constexpr wchar_t SUPPORTED_MODEL_NAME[] = L"PELORA";

// The carried image, used in place (the RCDATA resource on Windows). Empty when it is missing.
// The expected digest is the one the build recorded for it; left out, no image matches it.
using ImageSource = std::function<std::span<const std::uint8_t>()>;
void BindImageSource(ImageSource source, const Sha256Digest& expectedDigest = {});
std::span<const std::uint8_t> GetImage();
const Sha256Digest& ExpectedImageDigest();

bool IsSupportedEscType(std::uint32_t escTypeId);

#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "firmware_version.h"  // generated from UPDATER_FIRMWARE_VERSION

// The package this build carries: one firmware for one ESC model. The image itself comes from
// the front end (a resource on Windows, compiled-in bytes elsewhere).

inline constexpr std::uint8_t FIRMWARE_VERSION_MAJOR = UPDATER_FIRMWARE_VERSION_MAJOR;
inline constexpr std::uint8_t FIRMWARE_VERSION_MINOR = UPDATER_FIRMWARE_VERSION_MINOR;
inline constexpr std::uint16_t FIRMWARE_VERSION =
    static_cast<std::uint16_t>((FIRMWARE_VERSION_MAJOR << 8) | FIRMWARE_VERSION_MINOR);
inline constexpr std::array<std::uint32_t, 2> SUPPORTED_ESC_TYPES = {0x1422605A, 0x0A06405A};
inline constexpr wchar_t SUPPORTED_MODEL_NAME[] = L"PELORA";
// The maker, as the title and the version output name it.
inline constexpr wchar_t MAKER_NAME[] = L"TALVERO";

// "major.minor", as the program's title and version output name the carried firmware.
std::wstring FirmwareVersionText();

bool IsSupportedEscType(std::uint32_t escTypeId);

// Whether installing this package over `installedVersion` needs the user's second yes: the
// installed firmware is not older (a missing version never counts as installed).
bool IsDowngradeOrSame(std::uint16_t installedVersion);

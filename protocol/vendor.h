#pragma once

#include <cstdint>

// The maker's USB vendor ID is a build constant (CMake cache variable UPDATER_VENDOR_ID).
#ifndef UPDATER_VENDOR_ID
#error "UPDATER_VENDOR_ID must be defined by the build"
#endif
inline constexpr std::uint16_t MAKER_VENDOR_ID = UPDATER_VENDOR_ID;
inline constexpr std::uint16_t PRODUCT_ID_TORVEX = 1;
inline constexpr std::uint16_t PRODUCT_ID_MAVIRA = 2;

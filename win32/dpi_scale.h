#pragma once

#include <cstdint>

// Sizes the program gives in pixels are meant for 96 DPI; the program is system-DPI-aware (see
// its manifest), so Windows no longer stretches it and it scales those sizes itself.
inline constexpr std::int32_t BASE_DPI = 96;

// `pixels` at 96 DPI, at `dpi`: rounded to the nearest pixel, halves away from zero, as MulDiv
// rounds. 96 DPI, or a DPI that is not positive (unknown), leaves the size as it is.
std::int32_t ScaleForDpi(std::int32_t pixels, std::int32_t dpi);

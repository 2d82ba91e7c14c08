#include "win32/dpi_scale.h"

std::int32_t ScaleForDpi(std::int32_t pixels, std::int32_t dpi) {
  if (dpi <= 0 || dpi == BASE_DPI) {
    return pixels;
  }
  const std::int64_t product = static_cast<std::int64_t>(pixels) * dpi;
  const std::int64_t half = BASE_DPI / 2;
  return static_cast<std::int32_t>(product >= 0 ? (product + half) / BASE_DPI
                                                : (product - half) / BASE_DPI);
}

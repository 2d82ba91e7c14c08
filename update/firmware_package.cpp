#include "update/firmware_package.h"

#include <algorithm>
#include <utility>

namespace {

// Bound once at start-up: the executable's own resource on Windows, a test image on the host.
ImageSource g_imageSource;
Sha256Digest g_expectedDigest{};

}  // namespace

void BindImageSource(ImageSource source, const Sha256Digest& expectedDigest) {
  g_imageSource = std::move(source);
  g_expectedDigest = expectedDigest;
}

std::span<const std::uint8_t> GetImage() {
  if (!g_imageSource) {
    return {};
  }
  return g_imageSource();
}

const Sha256Digest& ExpectedImageDigest() {
  return g_expectedDigest;
}

bool IsSupportedEscType(std::uint32_t escTypeId) {
  return std::find(SUPPORTED_ESC_TYPES.begin(), SUPPORTED_ESC_TYPES.end(), escTypeId) !=
         SUPPORTED_ESC_TYPES.end();
}

#include "update/image_integrity.h"

bool ImageIntact(std::span<const std::uint8_t> image, const Sha256Digest& expected) {
  return Sha256Of(image) == expected;
}

ImageCheck CheckCarriedFirmware(const CarriedFirmware& firmware) {
  if (firmware.image.empty()) {
    return ImageCheck::Missing;
  }
  return ImageIntact(firmware.image, firmware.digest) ? ImageCheck::Intact : ImageCheck::Damaged;
}

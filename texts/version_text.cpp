#include "texts/version_text.h"

#include <cstdint>

#include "protocol/vendor.h"

namespace {

// "major.minor" from bits 8..15 and 0..7, decimal without leading zeros.
std::wstring TwoComponents(std::uint32_t value) {
  return std::to_wstring((value >> 8) & 0xFFu) + L"." + std::to_wstring(value & 0xFFu);
}

}  // namespace

std::wstring UnitName(std::uint16_t productId) {
  return productId == PRODUCT_ID_TORVEX ? L"TORVEX" : L"MAVIRA";
}

VersionTexts VersionTextsFor(const UnitIdentity& identity) {
  VersionTexts texts;
  texts.unitName = UnitName(identity.productId());
  // The unit reports its version either in the low two bytes or one byte higher with a zero
  // low byte.
  std::uint32_t unitVersion = identity.unitVersion();
  if ((unitVersion & 0xFFu) == 0) {
    unitVersion >>= 8;
  }
  texts.unit = TwoComponents(unitVersion);
  texts.bootloader = TwoComponents(identity.escBootloaderVersion());
  const std::uint16_t escVersion = identity.escFirmwareVersion();
  texts.esc = escVersion == ESC_VERSION_NONE ? L"----------" : TwoComponents(escVersion);
  return texts;
}

#pragma once

#include <string>

#include "protocol/unit_identity.h"

// The installed versions as every front end shows them: the unit's product name and firmware,
// the ESC bootloader's and the ESC firmware's version, "major.minor" in decimal.
struct VersionTexts {
  std::wstring unitName;  // TORVEX or MAVIRA, never translated
  std::wstring unit;
  std::wstring bootloader;
  std::wstring esc;  // a row of dashes when the ESC has no firmware version
};

VersionTexts VersionTextsFor(const UnitIdentity& identity);

// The product name of a unit by its USB product ID.
std::wstring UnitName(std::uint16_t productId);

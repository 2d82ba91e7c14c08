#include "update/firmware_package.h"

#include <algorithm>

#include "protocol/unit_identity.h"

std::wstring FirmwareVersionText() {
  return std::to_wstring(FIRMWARE_VERSION_MAJOR) + L"." + std::to_wstring(FIRMWARE_VERSION_MINOR);
}

bool IsSupportedEscType(std::uint32_t escTypeId) {
  return std::find(SUPPORTED_ESC_TYPES.begin(), SUPPORTED_ESC_TYPES.end(), escTypeId) !=
         SUPPORTED_ESC_TYPES.end();
}

bool IsDowngradeOrSame(std::uint16_t installedVersion) {
  return installedVersion >= FIRMWARE_VERSION && installedVersion != ESC_VERSION_NONE;
}

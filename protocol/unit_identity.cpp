#include "protocol/unit_identity.h"

#include "protocol/byte_order.h"

void UnitIdentity::RecordEscInfo(const std::array<std::uint8_t, ESC_INFO_BYTES>& block) {
  escFirmwareVersion_ = GetU16LE(block, 4);
}

void UnitIdentity::RecordEscBootInfo(const std::array<std::uint8_t, ESC_BOOT_INFO_BYTES>& block) {
  escTypeId_ = GetU32LE(block, 0);
  escBootloaderVersion_ = GetU32LE(block, 4);
}

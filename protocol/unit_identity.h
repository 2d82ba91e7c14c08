#pragma once

#include <array>
#include <cstdint>

#include "protocol/unit_report.h"

inline constexpr std::uint16_t ESC_STATE_READY = 3;
inline constexpr std::uint16_t ESC_VERSION_NONE = 0xFFFF;

// What identification learned about the open unit and the ESC behind it. Everything is zero
// until a step of the identification records it, so a sequence that stops half-way leaves the
// later values zero.
class UnitIdentity {
 public:
  UnitIdentity() = default;
  explicit UnitIdentity(std::uint16_t productId) : productId_(productId) {}

  std::uint16_t productId() const { return productId_; }
  // 0: the unit relays to an ESC; any other value: a mode in which it cannot serve an update.
  std::uint8_t unitMode() const { return unitMode_; }
  std::uint32_t unitVersion() const { return unitVersion_; }
  std::uint16_t escState() const { return escState_; }
  // Major in the high byte; ESC_VERSION_NONE when the ESC has none.
  std::uint16_t escFirmwareVersion() const { return escFirmwareVersion_; }
  std::uint32_t escTypeId() const { return escTypeId_; }
  std::uint32_t escBootloaderVersion() const { return escBootloaderVersion_; }

  void RecordUnitMode(std::uint8_t mode) { unitMode_ = mode; }
  void RecordUnitVersion(std::uint32_t version) { unitVersion_ = version; }
  void RecordEscState(std::uint16_t state) { escState_ = state; }
  // The ESC firmware's information block: the version is the u16 at bytes 4..5.
  void RecordEscInfo(const std::array<std::uint8_t, ESC_INFO_BYTES>& block);
  // The bootloader's information block: type at bytes 0..3, version at bytes 4..7.
  void RecordEscBootInfo(const std::array<std::uint8_t, ESC_BOOT_INFO_BYTES>& block);
  // After a successful update the ESC holds this version.
  void RecordInstalledFirmware(std::uint16_t version) { escFirmwareVersion_ = version; }

  bool operator==(const UnitIdentity&) const = default;

 private:
  std::uint16_t productId_ = 0;
  std::uint8_t unitMode_ = 0;
  std::uint32_t unitVersion_ = 0;
  std::uint16_t escState_ = 0;
  std::uint16_t escFirmwareVersion_ = 0;
  std::uint32_t escTypeId_ = 0;
  std::uint32_t escBootloaderVersion_ = 0;
};

#include "ui/version_panel.h"

#include <cstdint>

#include "protocol/vendor.h"
#include "resources/resource_ids.h"

namespace {

constexpr int kPanelItems[] = {IDC_LABEL_UNIT,         IDC_VERSION_UNIT, IDC_LABEL_BOOTLOADER,
                               IDC_VERSION_BOOTLOADER, IDC_LABEL_ESC,    IDC_VERSION_ESC};

// "major.minor" from bits 8..15 and 0..7, decimal without leading zeros.
std::wstring TwoComponents(std::uint32_t value) {
  return std::to_wstring((value >> 8) & 0xFFu) + L"." + std::to_wstring(value & 0xFFu);
}

}  // namespace

PanelTexts PanelTextsFor(const UnitIdentity& identity) {
  PanelTexts texts;
  texts.unitLabel = identity.productId() == PRODUCT_ID_TORVEX ? L"TORVEX" : L"MAVIRA";
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

void VersionPanel::Refresh() {
  if (!link_.IsOpen()) {
    view_.SetItemText(IDC_VERSION_UNIT, L"0.0.0");
    view_.SetItemText(IDC_VERSION_BOOTLOADER, L"0.0.0");
    view_.SetItemText(IDC_VERSION_ESC, L"0.0.0");
    for (int item : kPanelItems) {
      view_.EnableItem(item, false);
    }
    return;
  }

  for (int item : kPanelItems) {
    view_.EnableItem(item, true);
  }
  const PanelTexts texts = PanelTextsFor(link_.identity());
  view_.SetItemText(IDC_VERSION_UNIT, texts.unit);
  view_.SetItemText(IDC_VERSION_BOOTLOADER, texts.bootloader);
  view_.SetItemText(IDC_VERSION_ESC, texts.esc);
  view_.SetItemText(IDC_LABEL_UNIT, texts.unitLabel);
}

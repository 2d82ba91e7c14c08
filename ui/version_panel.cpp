#include "ui/version_panel.h"

#include <cstdint>
#include <string>

#include "protocol/unit_link.h"
#include "protocol/vendor.h"
#include "resources/resource_ids.h"
#include "ui/dialog_view.h"

namespace {

constexpr int kPanelItems[] = {IDC_LABEL_UNIT,         IDC_VERSION_UNIT, IDC_LABEL_BOOTLOADER,
                               IDC_VERSION_BOOTLOADER, IDC_LABEL_ESC,    IDC_VERSION_ESC};

// "major.minor" from bits 8..15 and 0..7, decimal without leading zeros.
std::wstring TwoComponents(std::uint32_t value) {
  return std::to_wstring((value >> 8) & 0xFFu) + L"." + std::to_wstring(value & 0xFFu);
}

}  // namespace

namespace VersionPanel {

void Refresh() {
  const UnitLink& link = TheUnitLink();
  DialogView& view = View();

  if (!link.IsOpen()) {
    view.SetItemText(IDC_VERSION_UNIT, L"0.0.0");
    view.SetItemText(IDC_VERSION_BOOTLOADER, L"0.0.0");
    view.SetItemText(IDC_VERSION_ESC, L"0.0.0");
    for (int item : kPanelItems) {
      view.EnableItem(item, false);
    }
    return;
  }

  for (int item : kPanelItems) {
    view.EnableItem(item, true);
  }

  // The unit reports its version either in the low two bytes or one byte higher with a zero
  // low byte.
  std::uint32_t unitVersion = link.unitVersion;
  if ((unitVersion & 0xFFu) == 0) {
    unitVersion >>= 8;
  }
  view.SetItemText(IDC_VERSION_UNIT, TwoComponents(unitVersion));
  view.SetItemText(IDC_VERSION_BOOTLOADER, TwoComponents(link.escBootloaderVersion()));

  const std::uint16_t escVersion = link.escFirmwareVersion();
  view.SetItemText(IDC_VERSION_ESC,
                   escVersion == ESC_VERSION_NONE ? L"----------" : TwoComponents(escVersion));

  view.SetItemText(IDC_LABEL_UNIT, link.productId == PRODUCT_ID_TORVEX ? L"TORVEX" : L"MAVIRA");
}

}  // namespace VersionPanel

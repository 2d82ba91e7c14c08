#pragma once

#include <array>
#include <string>

#include "protocol/unit_identity.h"
#include "protocol/unit_link.h"
#include "ui/dialog_view.h"

// The three rows of installed versions: the programming unit, the ESC bootloader and the ESC.
struct PanelTexts {
  std::wstring unitLabel;  // the unit's product name
  std::wstring unit;
  std::wstring bootloader;
  std::wstring esc;
};

// The rows as they read for an identified unit.
PanelTexts PanelTextsFor(const UnitIdentity& identity);

// Shows the link's versions in the main dialog's version group.
class VersionPanel {
 public:
  VersionPanel(DialogView& view, const UnitLink& link) : view_(view), link_(link) {}
  // Rewrites the three rows and enables them while a unit is open; with none open they show
  // placeholders, greyed, and the unit label keeps whatever it shows.
  void Refresh();

 private:
  DialogView& view_;
  const UnitLink& link_;
};

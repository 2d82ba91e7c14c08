#pragma once

#include "dialog/dialog_view.h"
#include "protocol/unit_link.h"

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

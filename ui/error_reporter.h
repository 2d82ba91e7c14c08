#pragma once

#include <cstdint>
#include <string_view>

#include "protocol/result_code.h"
#include "protocol/unit_link.h"
#include "ui/dialog_view.h"
#include "ui/message_catalogue.h"
#include "ui/version_panel.h"

// Where every failure of an update ends in the dialog.
class ErrorReporter {
 public:
  ErrorReporter(DialogView& view, UnitLink& link, const Catalogue& texts, VersionPanel& panel)
      : view_(view), link_(link), texts_(texts), panel_(panel) {}

  // Abandons the unit, shows the failure with both error numbers, leaves the retry hint.
  void Report(std::wstring_view message, std::wstring_view caption, ResultCode result,
              std::uint32_t lastError);

 private:
  DialogView& view_;
  UnitLink& link_;
  const Catalogue& texts_;
  VersionPanel& panel_;
};

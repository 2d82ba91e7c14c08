#pragma once

#include <cstdint>
#include <string_view>

#include "dialog/dialog_view.h"
#include "dialog/version_panel.h"
#include "protocol/result_code.h"
#include "protocol/unit_link.h"
#include "texts/message_catalogue.h"

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

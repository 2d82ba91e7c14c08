#pragma once

#include <optional>
#include <string>

#include "protocol/result_code.h"
#include "protocol/unit_link.h"
#include "texts/message_catalogue.h"
#include "update/unit_readiness.h"

// One programming unit as `list` shows it: found, then identified, judged or refused.
struct UnitSummary {
  std::string path;
  std::uint16_t productId = 0;
  bool accessDenied = false;
  RequestResult identified;              // of the identification, when it could be opened
  std::optional<UnitIdentity> identity;  // when identified
  std::optional<UnitReadiness> readiness;
};

// The unit on `link` after identification: `result` is what UnitLink::Open returned.
UnitSummary SummarizeIdentification(std::string path, const UnitLink& link, RequestResult result);

// "path  MAVIRA 1.2  ESC-bootloader 1.5  ESC 3.2  ready", the version rows as the dialog shows
// them and the state in the catalogue's words; broken into indented lines where it would pass
// 80 columns (FitFields).
std::wstring SummaryLine(const UnitSummary& unit, const Catalogue& texts);
// The same as one JSON object; `state` is a fixed keyword for scripts, `message` the dialog's
// text for that state.
std::string SummaryJson(const UnitSummary& unit, const Catalogue& texts);

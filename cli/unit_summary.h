#pragma once

#include <optional>
#include <string>

#include "protocol/os_services.h"
#include "protocol/result_code.h"
#include "protocol/unit_link.h"
#include "ui/message_catalogue.h"
#include "update/unit_readiness.h"

// One programming unit as `list` shows it: found, then identified, judged or refused.
struct UnitSummary {
  std::string path;
  std::uint16_t productId = 0;
  bool accessDenied = false;
  ResultCode identifyResult = RESULT_OK;  // of the identification, when it could be opened
  std::uint32_t osError = 0;              // after a failed identification
  std::optional<UnitIdentity> identity;   // when identified
  std::optional<UnitReadiness> readiness;
};

// The unit on `link` after identification: `result` is what UnitLink::Open returned; after a
// failure the system's error is read from `os` before anything else.
UnitSummary SummarizeIdentification(std::string path, const UnitLink& link, ResultCode result,
                                    OsServices& os);

// "path  MAVIRA 1.2  ESC-bootloader 1.5  ESC 3.2  ready", the version rows as the dialog shows
// them and the state in the catalogue's words.
std::wstring SummaryLine(const UnitSummary& unit, const Catalogue& texts);
// The same as one JSON object; `state` is a fixed keyword for scripts, `message` the dialog's
// text for that state.
std::string SummaryJson(const UnitSummary& unit, const Catalogue& texts);

// The dialog's status text for a judged unit (the command line's form where it speaks of the
// Update button).
MessageId StatusMessage(UnitReadiness readiness);

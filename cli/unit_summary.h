#pragma once

#include <optional>
#include <string>
#include <vector>

#include "protocol/result_code.h"
#include "protocol/unit_link.h"
#include "texts/message_catalogue.h"
#include "update/unit_readiness.h"

// One programming unit as `list` shows it: found, then identified, judged, refused or busy.
struct UnitSummary {
  std::string path;
  std::uint16_t productId = 0;
  bool accessDenied = false;
  bool busy = false;                     // another program holds it: nothing was sent
  RequestResult identified;              // of the identification, when it could be opened
  std::optional<UnitIdentity> identity;  // when identified
  std::optional<UnitReadiness> readiness;
};

// What the program carries, for the JSON a script decides by.
struct CarriedSummary {
  std::wstring version;  // "3.3"
  bool standin = false;  // the stand-in test image, not the maker's firmware
};

// The unit on `link` after identification: `result` is what UnitLink::Open returned.
UnitSummary SummarizeIdentification(std::string path, const UnitLink& link, RequestResult result);

// "path  MAVIRA 1.2  ESC-bootloader 1.5  ESC 3.2  ready", the version rows as the dialog shows
// them ("unknown" where identification did not read them) and the state in the catalogue's
// words; broken into indented lines where it would pass 80 columns (FitFields).
std::wstring SummaryLine(const UnitSummary& unit, const Catalogue& texts);
// Every unit as a JSON array, one object each: `state` is a fixed keyword for scripts, `message`
// the dialog's text for that state; versions not read are null.
std::string SummaryJson(const std::vector<UnitSummary>& units, const CarriedSummary& carried,
                        const Catalogue& texts);

#pragma once

#include <string>

#include "texts/message_catalogue.h"
#include "update/unit_readiness.h"

// How each front end names a judged unit's state: the one table from readiness to texts.
struct ReadinessText {
  // What the dialog (and the page) shows: the ready text alone, or the status that opens the
  // guidance (followed by the connection instructions).
  MessageId status;
  // The same for a terminal, which has no Update button to point at.
  MessageId terminalStatus;
  // A short name of the state, for one line per unit.
  MessageId label;
  // A fixed word for scripts (JSON).
  const char* keyword;
  // Whether the connection instructions follow the status.
  bool guidance;
};

const ReadinessText& TextFor(UnitReadiness readiness);

// The incompatibility message with the supported model filled in.
std::wstring IncompatibleEscText(const Catalogue& texts);

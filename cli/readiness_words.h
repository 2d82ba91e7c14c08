#pragma once

#include "texts/message_catalogue.h"
#include "update/unit_readiness.h"

// How the command line names a judged unit's state.
struct ReadinessWords {
  // A fixed word for scripts (JSON).
  const char* keyword;
  // A short name of the state, for one line per unit.
  MessageId label;
  // The status for a terminal, which has no Update button to point at.
  MessageId status;
};

const ReadinessWords& WordsFor(UnitReadiness readiness);

#pragma once

#include <string>

#include "texts/message_catalogue.h"
#include "update/unit_readiness.h"

// The status text of a judged unit: the ready text alone, or the status that opens the guidance
// (followed by the connection instructions).
MessageId ReadinessStatus(UnitReadiness readiness);

// The incompatibility message with the supported model filled in.
std::wstring IncompatibleEscText(const Catalogue& texts);

// Faults for the unit behind /dev/uhid, given on the command line as COMMAND:OCCURRENCE:KIND[:CODE]
// (for example 0x1B:10:vanish, or 0x0B:1:refuse:0x16).
#pragma once

#include <optional>
#include <string>

#include "sim/simulated_unit.h"

namespace uhid_unit {

// KIND is refuse (with CODE), failflag, writefail, readfail, silent or vanish. Empty when the text
// is no fault; which faults this device can play is sim::Unplayable's to say.
std::optional<sim::Fault> ParseFault(const std::string& text);

}  // namespace uhid_unit

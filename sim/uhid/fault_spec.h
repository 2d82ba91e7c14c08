// Faults for the unit behind /dev/uhid, given on the command line as COMMAND:OCCURRENCE:KIND[:CODE]
// (for example 0x1B:10:vanish, or 0x0B:1:refuse:0x16).
#pragma once

#include <optional>
#include <string>

#include "sim/simulated_unit.h"

namespace uhid_unit {

// Empty when the text is not a fault this device can show. Write and read failures are not
// among them: a hidraw write to a uhid device succeeds once the kernel has queued the report,
// and a read fails only when the device is gone, which `vanish` covers.
std::optional<sim::Fault> ParseFault(const std::string& text);

}  // namespace uhid_unit

#pragma once

#include <cstdint>
#include <vector>

namespace sim {

// A report descriptor shaped like the unit's: vendor page, one application collection, output
// report 1 and input report 2 as byte arrays. The lengths include the report-ID byte, as the
// transport states them; a length below 2 leaves that report out.
std::vector<std::uint8_t> BuildReportDescriptor(std::uint32_t inputReportLength,
                                                std::uint32_t outputReportLength);

}  // namespace sim

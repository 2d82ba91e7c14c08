// Scenarios of the release checks: a copy of the program whose carried image was damaged, and the
// dialog, a box and the progress window at the desktop's DPI.
#pragma once

#include <vector>

#include "tests/e2e/driver/scenarios.h"

namespace e2e {

// "damaged-image": the copy shows its own error box and sends nothing.
std::vector<Scenario> DamagedImageScenarios();
// With "damaged-image": a copy whose main dialog cannot be created reports it and exits with 1.
std::vector<Scenario> BrokenDialogScenarios();
// "dpi": screenshots and proportions at whatever DPI the prefix was set up with.
std::vector<Scenario> DpiScenarios();

}  // namespace e2e

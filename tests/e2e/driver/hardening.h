// Scenarios that stress the program: the fault matrix of the update, hot-plug storms and DLLs
// planted beside the executable.
#pragma once

#include <string>
#include <vector>

#include "tests/e2e/driver/scenarios.h"

namespace e2e {

// Parts of the fault matrix: "matrix-stages", "matrix-blocks", "matrix-final".
std::vector<Scenario> FaultMatrixScenarios(const std::string& part);
std::vector<Scenario> StormScenarios();
std::vector<Scenario> PlantedDllScenarios();
// Figures for tools/bench: start-up against a minimal dialog, and a full update.
std::vector<Scenario> BenchScenarios();

}  // namespace e2e

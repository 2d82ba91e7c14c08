#pragma once

#include "cli/arguments.h"
#include "cli/cli_context.h"
#include "cli/exit_status.h"

// `pelora-update list`: every programming unit present, identified.
ExitStatus ListUnits(const Arguments& arguments, CliContext& context);
// `pelora-update update`: the ESC behind the chosen unit updated with the carried image.
ExitStatus UpdateUnit(const Arguments& arguments, CliContext& context);
// `pelora-update doctor`: checks, one per line, why a unit can or cannot be updated, with the
// fix of each failed check; talks to a unit by identification only.
ExitStatus Doctor(const Arguments& arguments, CliContext& context);

// `pelora-update history`: the records of the updates made here, readable or as JSON.
ExitStatus ShowHistory(const Arguments& arguments, CliContext& context);
// The whole command line: parses, runs the command, returns the exit status.
int RunCommandLine(const std::vector<std::string>& args, CliContext& context);

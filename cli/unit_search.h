#pragma once

#include <functional>
#include <optional>
#include <string>

#include "cli/cli_context.h"
#include "cli/exit_status.h"
#include "protocol/unit_link.h"

// Finds the unit a command works on and opens it on `link`, waiting for one to be plugged in when
// asked to: the one at `device`, or the first one enumeration finds. Says what went wrong
// (no unit, no access) itself; nullopt when the link now holds an identified or unidentifiable
// unit (see link.IsOpen()), else the exit status.
std::optional<ExitStatus> OpenUnit(UnitLink& link, const std::optional<std::string>& device,
                                   std::uint32_t waitSeconds, CliContext& context,
                                   RequestResult& identified);

// Polls `present` every quarter second until it holds or `waitSeconds` have been waited,
// announcing the wait once. True when it held.
bool WaitForUnit(std::uint32_t waitSeconds, CliContext& context,
                 const std::function<bool()>& present);

// Whether the unit at `path` refused this user at the last enumeration or open.
bool IsAccessDenied(const std::string& path, const CliContext& context);

// The access refusal of `path`, with the rule that lifts it.
void ReportAccessDenied(const std::string& path, CliContext& context);

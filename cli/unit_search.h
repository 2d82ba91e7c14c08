#pragma once

#include <functional>
#include <optional>
#include <string>

#include "cli/arguments.h"
#include "cli/cli_context.h"
#include "cli/exit_status.h"
#include "cli/unit_summary.h"
#include "protocol/unit_link.h"

// Finds the unit `update` works on and opens it on `link`, claimed, waiting for one to be plugged
// in when asked to: the one at --device, or the only one present. Says what went wrong itself
// (no unit, several, no access, busy); nullopt when the link now holds the unit and `identified`
// is the result of its identification, else the exit status.
std::optional<ExitStatus> OpenUnit(UnitLink& link, const Arguments& arguments, CliContext& context,
                                   RequestResult& identified);

// A listed unit opened, claimed, identified and closed again: what `list` shows of it.
UnitSummary IdentifyListed(const UnitListing& listing, CliContext& context);

// Polls `present` every quarter second until it holds or `waitSeconds` have been waited,
// announcing the wait once. True when it held.
bool WaitForUnit(std::uint32_t waitSeconds, CliContext& context,
                 const std::function<bool()>& present);

// The node a path names: udev's symlinks, "/dev//hidraw0" and relative paths name the same node
// as the enumeration's path. A path that does not resolve is taken as given.
std::string CanonicalNodePath(const std::string& path);

// The access refusal of `path`, with what lifts it.
void ReportAccessDenied(const std::string& path, CliContext& context);

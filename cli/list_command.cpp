#include <algorithm>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/unit_search.h"
#include "cli/unit_summary.h"
#include "texts/text_encoding.h"
#include "update/firmware_package.h"

ExitStatus ListUnits(const Arguments& arguments, CliContext& context) {
  std::vector<UnitListing> listed;
  WaitForUnit(arguments.waitSeconds, context, [&] {
    listed = context.bus.ListUnits();
    return !listed.empty();
  });

  std::vector<UnitSummary> units;
  for (const UnitListing& listing : listed) {
    units.push_back(IdentifyListed(listing, context));
  }

  bool written = true;
  if (arguments.json) {
    const CarriedSummary carried{FirmwareVersionText(), context.standinImage};
    written = context.console.Out(WideFromUtf8(SummaryJson(units, carried, context.texts)));
  } else {
    for (const UnitSummary& unit : units) {
      written = context.console.Out(SummaryLine(unit, context.texts) + L"\n") && written;
    }
  }
  if (!written) {
    return ExitStatus::OutputFailed;
  }

  if (units.empty()) {
    if (!arguments.json) {
      context.console.Err(context.texts.Text(IDS_NO_UNIT) + L"\n\n" +
                          context.texts.Text(IDS_CLI_INSTRUCTIONS) + L"\n");
    }
    return ExitStatus::NoUnit;
  }
  const bool allDenied = std::all_of(units.begin(), units.end(),
                                     [](const UnitSummary& unit) { return unit.accessDenied; });
  if (allDenied) {
    if (!arguments.json) {
      ReportAccessDenied(units.front().path, context);
    }
    return ExitStatus::AccessDenied;
  }
  if (std::all_of(units.begin(), units.end(), [](const UnitSummary& unit) { return unit.busy; })) {
    return ExitStatus::Busy;
  }
  return ExitStatus::Success;
}

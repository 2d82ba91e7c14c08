#include <algorithm>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/unit_search.h"
#include "cli/unit_summary.h"
#include "texts/text_encoding.h"

namespace {

UnitSummary Identify(const UnitListing& listing, CliContext& context) {
  OpenedDevice opened;
  if (context.bus.OpenPath(listing.path, opened) != RESULT_OK) {
    UnitSummary unit;
    unit.path = listing.path;
    unit.productId = listing.productId;
    unit.accessDenied = IsAccessDenied(listing.path, context);
    if (!unit.accessDenied) {
      unit.identified = {RESULT_NO_DEVICE};  // gone or unopenable since it was listed
    }
    return unit;
  }
  UnitLink link(context.transport, context.waiter);
  const RequestResult result = link.Open(std::move(opened));
  return SummarizeIdentification(listing.path, link, result);
}

}  // namespace

ExitStatus ListUnits(const Arguments& arguments, CliContext& context) {
  std::vector<UnitListing> listed;
  WaitForUnit(arguments.waitSeconds, context, [&] {
    listed = context.bus.ListUnits();
    return !listed.empty();
  });

  std::vector<UnitSummary> units;
  for (const UnitListing& listing : listed) {
    units.push_back(Identify(listing, context));
  }

  if (arguments.json) {
    std::string json = "[";
    for (std::size_t i = 0; i < units.size(); ++i) {
      json += (i == 0 ? "\n  " : ",\n  ") + SummaryJson(units[i], context.texts);
    }
    json += units.empty() ? "]\n" : "\n]\n";
    context.console.Out(WideFromUtf8(json));
  } else {
    for (const UnitSummary& unit : units) {
      context.console.Out(SummaryLine(unit, context.texts) + L"\n");
    }
  }

  if (units.empty()) {
    if (!arguments.json) {
      context.console.Err(context.texts.Text(IDS_NO_UNIT) + L"\n");
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
  return ExitStatus::Success;
}

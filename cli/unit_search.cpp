#include "cli/unit_search.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "texts/failure_text.h"
#include "texts/message_format.h"
#include "texts/text_encoding.h"

namespace {

// Often enough that a plugged-in unit is taken at once, rarely enough to cost nothing.
constexpr std::uint32_t POLL_INTERVAL_MS = 250;

bool IsAccessDenied(const std::string& path, const CliContext& context) {
  const auto denied = context.bus.DeniedPaths();
  return std::find(denied.begin(), denied.end(), path) != denied.end();
}

void ReportBusy(const std::string& path, CliContext& context) {
  context.console.Err(FormatWithText(context.texts.Text(IDS_CLI_UNIT_BUSY), WideFromUtf8(path)) +
                      L"\n");
}

// The unit at `path` opened and claimed, through the one path every front end claims by: an open
// that fails gives the bus's RESULT_NOT_FOUND, a claim RESULT_BUSY or RESULT_CLAIM_FAILED.
RequestResult OpenClaimed(const std::string& path, CliContext& context, OpenedDevice& out) {
  return context.transport.OpenClaimed(
      [&](OpenedDevice& opened) { return RequestResult{context.bus.OpenPath(path, opened)}; }, out);
}

}  // namespace

std::string CanonicalNodePath(const std::string& path) {
  std::error_code error;
  const std::filesystem::path canonical = std::filesystem::weakly_canonical(path, error);
  return error || canonical.empty() ? path : canonical.string();
}

void ReportAccessDenied(const std::string& path, CliContext& context) {
  context.console.Err(
      FormatWithText(context.texts.Text(IDS_CLI_ACCESS_DENIED), WideFromUtf8(path)) + L"\n" +
      context.access.Explain(path, context.texts) + L"\n");
}

bool WaitForUnit(std::uint32_t waitSeconds, CliContext& context,
                 const std::function<bool()>& present) {
  if (present()) {
    return true;
  }
  if (waitSeconds == 0) {
    return false;
  }
  // Said on the error stream, so that what a script reads from the output is the result alone.
  context.console.Err(
      FormatWithText(context.texts.Text(IDS_CLI_WAITING), std::to_wstring(waitSeconds)) + L"\n");
  const std::uint64_t budgetMs = std::uint64_t{waitSeconds} * 1000;
  for (std::uint64_t waited = 0; waited < budgetMs; waited += POLL_INTERVAL_MS) {
    context.waiter.Wait(POLL_INTERVAL_MS);
    if (present()) {
      return true;
    }
  }
  return false;
}

UnitSummary IdentifyListed(const UnitListing& listing, CliContext& context) {
  UnitSummary unit;
  unit.path = listing.path;
  unit.productId = listing.productId;
  OpenedDevice opened;
  const RequestResult claimed = OpenClaimed(listing.path, context, opened);
  if (claimed.code == RESULT_BUSY) {
    unit.busy = true;
    return unit;
  }
  if (claimed.code == RESULT_CLAIM_FAILED) {
    unit.identified = claimed;
    return unit;
  }
  if (!claimed.ok()) {
    unit.accessDenied = IsAccessDenied(listing.path, context);
    if (!unit.accessDenied) {
      unit.identified = {RESULT_NO_DEVICE};  // gone or unopenable since it was listed
    }
    return unit;
  }
  UnitLink link(context.transport, context.waiter);
  const RequestResult result = link.Open(std::move(opened));
  if (result.code == RESULT_BUSY) {
    unit.busy = true;  // another program talks to it without a claim of ours
    return unit;
  }
  return SummarizeIdentification(listing.path, link, result);
}

std::optional<ExitStatus> OpenUnit(UnitLink& link, const Arguments& arguments, CliContext& context,
                                   RequestResult& identified) {
  const std::optional<std::string>& device = arguments.device;
  std::vector<UnitListing> listed;
  const std::string wanted = device ? CanonicalNodePath(*device) : std::string();
  const auto present = [&] {
    listed = context.bus.ListUnits();
    if (device) {
      std::erase_if(listed, [&](const UnitListing& unit) {
        return unit.path != *device && CanonicalNodePath(unit.path) != wanted;
      });
    }
    return !listed.empty();
  };
  if (!WaitForUnit(arguments.waitSeconds, context, present)) {
    if (device) {
      context.console.Err(
          FormatWithText(context.texts.Text(IDS_CLI_NO_SUCH_UNIT), WideFromUtf8(*device)) + L"\n");
    } else {
      context.console.Err(context.texts.Text(IDS_NO_UNIT) + L"\n\n" +
                          context.texts.Text(IDS_CLI_INSTRUCTIONS) + L"\n");
    }
    return ExitStatus::NoUnit;
  }
  if (listed.size() > 1) {
    // Which unit's ESC is flashed is the user's choice, never the enumeration order's.
    std::wstring text = context.texts.Text(IDS_CLI_CHOOSE_DEVICE) + L"\n";
    for (const UnitListing& listing : listed) {
      text += L"  " + SummaryLine(IdentifyListed(listing, context), context.texts) + L"\n";
    }
    context.console.Err(text);
    return ExitStatus::UsageError;
  }

  const std::string path = listed.front().path;
  // Claimed before the first request and held until the link closes: a unit that another
  // program is updating gets nothing from this one, not even an identification.
  OpenedDevice opened;
  const RequestResult claimed = OpenClaimed(path, context, opened);
  if (claimed.code == RESULT_BUSY) {
    ReportBusy(path, context);
    return ExitStatus::Busy;
  }
  if (claimed.code == RESULT_CLAIM_FAILED) {
    // Found and opened, but not ours to use: as a unit that cannot be used yet.
    context.console.Err(ClaimFailureText(claimed.osError, context.texts) + L"\n");
    return ExitStatus::NotReady;
  }
  if (!claimed.ok()) {
    if (IsAccessDenied(path, context)) {
      ReportAccessDenied(path, context);
      return ExitStatus::AccessDenied;
    }
    context.console.Err(
        FormatWithText(context.texts.Text(IDS_CLI_NO_SUCH_UNIT), WideFromUtf8(path)) + L"\n");
    return ExitStatus::NoUnit;
  }
  identified = link.Open(std::move(opened));
  // Heard talking to another program (one whose claim this one cannot see): busy all the same.
  if (identified.code == RESULT_BUSY) {
    ReportBusy(path, context);
    return ExitStatus::Busy;
  }
  return std::nullopt;
}

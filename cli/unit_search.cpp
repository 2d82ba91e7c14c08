#include "cli/unit_search.h"

#include <algorithm>

#include "texts/message_format.h"
#include "texts/text_encoding.h"

namespace {

// Often enough that a plugged-in unit is taken at once, rarely enough to cost nothing.
constexpr std::uint32_t POLL_INTERVAL_MS = 250;

}  // namespace

bool IsAccessDenied(const std::string& path, const CliContext& context) {
  const auto denied = context.bus.DeniedPaths();
  return std::find(denied.begin(), denied.end(), path) != denied.end();
}

void ReportAccessDenied(const std::string& path, CliContext& context) {
  const std::wstring texts[] = {WideFromUtf8(path), WideFromUtf8(context.udevRule)};
  context.console.Err(FormatWithTexts(context.texts.Text(IDS_CLI_ACCESS_DENIED), texts) + L"\n");
}

bool WaitForUnit(std::uint32_t waitSeconds, CliContext& context,
                 const std::function<bool()>& present) {
  if (present()) {
    return true;
  }
  if (waitSeconds == 0) {
    return false;
  }
  context.console.Out(
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

std::optional<ExitStatus> OpenUnit(UnitLink& link, const std::optional<std::string>& device,
                                   std::uint32_t waitSeconds, CliContext& context,
                                   RequestResult& identified) {
  OpenedDevice opened;
  const auto found = [&] {
    if (device) {
      return context.bus.OpenPath(*device, opened) == RESULT_OK;
    }
    return context.transport.FindAndOpen(opened) == RESULT_OK;
  };
  if (!WaitForUnit(waitSeconds, context, found)) {
    if (device && IsAccessDenied(*device, context)) {
      ReportAccessDenied(*device, context);
      return ExitStatus::AccessDenied;
    }
    if (!device && !context.bus.DeniedPaths().empty()) {
      ReportAccessDenied(context.bus.DeniedPaths().front(), context);
      return ExitStatus::AccessDenied;
    }
    if (device) {
      context.console.Err(
          FormatWithText(context.texts.Text(IDS_CLI_NO_SUCH_UNIT), WideFromUtf8(*device)) + L"\n");
    } else {
      context.console.Err(context.texts.Text(IDS_NO_UNIT) + L"\n\n" +
                          context.texts.Text(IDS_CLI_INSTRUCTIONS) + L"\n");
    }
    return ExitStatus::NoUnit;
  }
  identified = link.Open(std::move(opened));
  return std::nullopt;
}

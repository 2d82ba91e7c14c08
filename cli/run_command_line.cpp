#include "cli/commands.h"
#include "protocol/vendor.h"
#include "texts/message_format.h"
#include "texts/text_encoding.h"
#include "update/firmware_package.h"

namespace {

std::wstring VersionText(const CliContext& context) {
  wchar_t vendor[8];
  std::swprintf(vendor, 8, L"%04x", static_cast<unsigned>(MAKER_VENDOR_ID));
  const std::wstring version = FirmwareVersionText();
  std::wstring text = L"pelora-update " + version + L"\n" + MAKER_NAME + L" " +
                      SUPPORTED_MODEL_NAME + L" firmware " + version +
                      L", programming units with USB vendor ID 0x" + vendor + L"\n";
  if (context.standinImage) {
    text += context.texts.Text(IDS_CLI_STANDIN_IMAGE) + L"\n";
  }
  return text;
}

ExitStatus Print(const std::wstring& text, CliContext& context) {
  return context.console.Out(text) ? ExitStatus::Success : ExitStatus::OutputFailed;
}

ExitStatus Run(const Arguments& arguments, CliContext& context) {
  switch (arguments.command) {
    case CliCommand::Help:
      return Print(context.texts.Text(IDS_CLI_HELP) + L"\n\n" +
                       context.texts.Text(IDS_CLI_HELP_EXIT_STATUS) + L"\n\n" +
                       context.texts.Text(IDS_CLI_HELP_MORE) + L"\n",
                   context);
    case CliCommand::Version:
      return Print(VersionText(context), context);
    case CliCommand::List:
      return ListUnits(arguments, context);
    case CliCommand::Update:
      return UpdateUnit(arguments, context);
    case CliCommand::Doctor:
      return Doctor(arguments, context);
    case CliCommand::History:
      return ShowHistory(arguments, context);
  }
  return ExitStatus::UsageError;
}

}  // namespace

int RunCommandLine(const std::vector<std::string>& args, CliContext& context) {
  const ParsedArguments parsed = ParseArguments(args);
  if (!parsed.arguments) {
    std::vector<std::wstring> subjects;
    for (const std::string& subject : parsed.errorSubjects) {
      subjects.push_back(WideFromUtf8(subject));
    }
    const std::wstring reason = FormatWithTexts(context.texts.Text(parsed.error), subjects);
    context.console.Err(FormatWithText(context.texts.Text(IDS_CLI_USAGE_ERROR), reason) + L"\n");
    return static_cast<int>(ExitStatus::UsageError);
  }
  const ExitStatus status = Run(*parsed.arguments, context);
  if (status == ExitStatus::OutputFailed || context.console.OutputLost()) {
    // A script that reads the output must not take a cut-off result for a whole one. An update
    // keeps its own status: the unit was flashed (or not) whatever became of the lines.
    context.console.Err(
        FormatWithText(context.texts.Text(IDS_CLI_OUTPUT_FAILED), context.console.OutputError()) +
        L"\n");
  }
  return static_cast<int>(status);
}

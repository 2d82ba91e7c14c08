#include "cli/commands.h"
#include "protocol/vendor.h"
#include "texts/message_format.h"
#include "texts/text_encoding.h"
#include "update/firmware_package.h"

namespace {

std::wstring VersionText() {
  wchar_t vendor[8];
  std::swprintf(vendor, 8, L"%04x", static_cast<unsigned>(MAKER_VENDOR_ID));
  const std::wstring version = FirmwareVersionText();
  return L"pelora-update " + version + L"\nTALVERO " + SUPPORTED_MODEL_NAME + L" firmware " +
         version + L", programming units with USB vendor ID 0x" + vendor + L"\n";
}

}  // namespace

int RunCommandLine(const std::vector<std::string>& args, CliContext& context) {
  const ParsedArguments parsed = ParseArguments(args);
  if (!parsed.arguments) {
    const std::wstring reason =
        FormatWithText(context.texts.Text(parsed.error), WideFromUtf8(parsed.errorSubject));
    context.console.Err(FormatWithText(context.texts.Text(IDS_CLI_USAGE_ERROR), reason) + L"\n");
    return static_cast<int>(ExitStatus::UsageError);
  }
  const Arguments& arguments = *parsed.arguments;
  switch (arguments.command) {
    case CliCommand::Help:
      context.console.Out(context.texts.Text(IDS_CLI_HELP) + L"\n\n" +
                          context.texts.Text(IDS_CLI_HELP_EXIT_STATUS) + L"\n");
      return static_cast<int>(ExitStatus::Success);
    case CliCommand::Version:
      context.console.Out(VersionText());
      return static_cast<int>(ExitStatus::Success);
    case CliCommand::List:
      return static_cast<int>(ListUnits(arguments, context));
    case CliCommand::Update:
      return static_cast<int>(UpdateUnit(arguments, context));
  }
  return static_cast<int>(ExitStatus::UsageError);
}

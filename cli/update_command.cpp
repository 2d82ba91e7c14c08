#include <cctype>
#include <string>

#include "cli/commands.h"
#include "cli/terminal_progress.h"
#include "cli/unit_search.h"
#include "cli/unit_summary.h"
#include "ui/failure_text.h"
#include "ui/message_format.h"
#include "update/firmware_package.h"
#include "update/image_integrity.h"
#include "update/unit_readiness.h"

namespace {

enum class Answer { Yes, No, NoTerminal };

// y, yes, j, ja (either language, any case) are yes; n, no, nein are no; anything else asks
// again. The end of input counts as no.
Answer Ask(const std::wstring& caption, const std::wstring& text, bool answeredByOption,
           CliContext& context) {
  Console& console = context.console;
  console.Out(L"\n" + caption + L"\n" + text + L"\n");
  const std::wstring prompt = context.texts.Text(IDS_CLI_CONTINUE_PROMPT) + L" ";
  if (answeredByOption) {
    console.Out(prompt + context.texts.Text(IDS_CLI_ANSWERED_BY_OPTION) + L"\n");
    return Answer::Yes;
  }
  if (!console.InputIsTerminal()) {
    return Answer::NoTerminal;
  }
  for (;;) {
    console.Out(prompt);
    const std::optional<std::string> line = console.ReadLine();
    if (!line) {
      console.Out(L"\n");
      return Answer::No;
    }
    std::string word;
    for (const char c : *line) {
      if (!std::isspace(static_cast<unsigned char>(c))) {
        word.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
      }
    }
    if (word == "y" || word == "yes" || word == "j" || word == "ja") {
      return Answer::Yes;
    }
    if (word == "n" || word == "no" || word == "nein") {
      return Answer::No;
    }
    console.Out(context.texts.Text(IDS_CLI_ANSWER_YES_NO) + L"\n");
  }
}

// The warning, then the question for a firmware that is not older; nullopt when both allow the
// update, else the status that ends the run.
std::optional<ExitStatus> Confirm(const UnitLink& link, bool yes, CliContext& context) {
  const Catalogue& texts = context.texts;
  Answer answer = Ask(texts.Text(IDS_NOTE_CAPTION), texts.Text(IDS_NOTE_TEXT), yes, context);
  if (answer == Answer::Yes && IsDowngradeOrSame(link.identity().escFirmwareVersion())) {
    answer = Ask(texts.Text(IDS_DOWNGRADE_CAPTION), texts.Text(IDS_DOWNGRADE_TEXT), yes, context);
  }
  switch (answer) {
    case Answer::Yes:
      return std::nullopt;
    case Answer::NoTerminal:
      context.console.Err(texts.Text(IDS_CLI_NEEDS_TERMINAL) + L"\n");
      return ExitStatus::Declined;
    case Answer::No:
      break;
  }
  context.console.Out(texts.Text(IDS_CLI_DECLINED) + L"\n");
  return ExitStatus::Declined;
}

// The guidance the dialog shows for a unit it does not offer to update.
ExitStatus RefuseUnit(UnitReadiness readiness, CliContext& context) {
  const Catalogue& texts = context.texts;
  std::wstring text;
  if (readiness == UnitReadiness::IncompatibleEsc) {
    text = texts.Text(IDS_INCOMPATIBLE_CAPTION) + L"\r\n" +
           FormatWithText(texts.Text(IDS_INCOMPATIBLE_TEXT), SUPPORTED_MODEL_NAME) + L"\r\n\r\n";
  }
  text += texts.Text(StatusMessage(readiness)) + L"\r\n\r\n" + texts.Text(IDS_CLI_INSTRUCTIONS);
  context.console.Err(text + L"\n");
  return ExitStatus::NotReady;
}

// The failure as the dialog's error box shows it (caption, message, code line), then its hint.
ExitStatus ReportFailure(const UpdateOutcome& outcome, CliContext& context) {
  const Catalogue& texts = context.texts;
  if (outcome.stopped) {
    context.console.Err(L"\n" + texts.Text(IDS_CLI_INTERRUPTED) + L"\n");
    return ExitStatus::Stopped;
  }
  const std::wstring box = FailureText(texts.Text(StageFailureMessage(*outcome.failedStage)),
                                       outcome.result, outcome.osError, texts);
  context.console.Err(L"\n" + texts.Text(IDS_UPDATE_FAILED) + L"\r\n" + box + L"\r\n\r\n" +
                      texts.Text(IDS_RETRY_HINT) + L"\n");
  return StageFailureStatus(*outcome.failedStage);
}

}  // namespace

ExitStatus UpdateUnit(const Arguments& arguments, CliContext& context) {
  const Catalogue& texts = context.texts;
  UnitLink link(context.transport, context.os);
  ResultCode identified = RESULT_OK;
  if (const auto refused =
          OpenUnit(link, arguments.device, arguments.waitSeconds, context, identified)) {
    return *refused;
  }

  const UnitSummary unit =
      SummarizeIdentification(TerminalText(link.devicePath()), link, identified, context.os);
  if (identified != RESULT_OK) {
    context.console.Err(
        FailureText(texts.Text(IDS_CLI_IDENTIFY_FAILED), identified, unit.osError, texts) + L"\n");
    return ExitStatus::NotReady;
  }
  context.console.Out(SummaryLine(unit, texts) + L"\n");
  if (*unit.readiness != UnitReadiness::Ready) {
    return RefuseUnit(*unit.readiness, context);
  }

  // A build without its image, or with an image that is not the one the build recorded, is
  // refused before anything is asked or sent, as in the dialog.
  const ImageCheck check = CheckCarriedFirmware(context.firmware);
  if (check != ImageCheck::Intact) {
    context.console.Err(texts.Text(ImageRefusalMessage(check)) + L"\n");
    return ExitStatus::NoImage;
  }
  const std::span<const std::uint8_t> image = context.firmware.image;

  if (const auto declined = Confirm(link, arguments.yes, context)) {
    return *declined;
  }

  TerminalProgress progress(context.console, texts, BlocksForImage(image.size()));
  UpdateProcedure procedure(link, progress, context.os);
  context.console.Out(L"\n");
  context.shield.Raise();
  const UpdateOutcome outcome =
      procedure.Run(image, texts.Text(IDS_TRANSFER_RUNNING), &context.shield.stop());
  context.shield.Lower();
  if (!outcome.succeeded()) {
    // No closing request: the unit is abandoned in whatever state the failure left it.
    link.Close();
    return ReportFailure(outcome, context);
  }
  context.console.Out(L"\n" + texts.Text(IDS_SUCCESS) + L"\n");
  return ExitStatus::Success;
}

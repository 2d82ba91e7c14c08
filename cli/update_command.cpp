#include <cstddef>
#include <cwctype>
#include <sstream>
#include <string>

#include "cli/commands.h"
#include "cli/readiness_words.h"
#include "cli/terminal_progress.h"
#include "cli/unit_search.h"
#include "cli/unit_summary.h"
#include "texts/failure_text.h"
#include "texts/readiness_text.h"
#include "texts/text_encoding.h"
#include "update/firmware_package.h"
#include "update/unit_readiness.h"
#include "update/update_record.h"
#include "update/update_session.h"

namespace {

// The typed line without its blanks, in lower case.
std::wstring AnswerWord(const std::string& line) {
  std::wstring word;
  for (const wchar_t c : WideFromUtf8(line)) {
    if (!std::iswspace(c)) {
      word.push_back(static_cast<wchar_t>(std::towlower(c)));
    }
  }
  return word;
}

// Whether `word` is one of the words of `words` in any language of the catalogue.
bool IsAnswerWord(const std::wstring& word, MessageId words) {
  const CatalogueTable& table = BuiltInTable();
  for (std::size_t language = 0; language < table.languages.size(); ++language) {
    std::wistringstream listed(table.Text(words, language));
    for (std::wstring listedWord; listed >> listedWord;) {
      if (listedWord == word) {
        return true;
      }
    }
  }
  return false;
}

// The two questions on the terminal, or answered by --yes. Each explains itself when it cannot
// be asked or is declined, so the session's "declined" needs no more words.
class TerminalPrompts final : public UpdatePrompts {
 public:
  TerminalPrompts(bool answeredByOption, CliContext& context)
      : answeredByOption_(answeredByOption), context_(context) {}

  bool Confirm(Confirmation question) override {
    const Catalogue& texts = context_.texts;
    const bool warning = question == Confirmation::Warning;
    return Ask(texts.Text(warning ? IDS_NOTE_CAPTION : IDS_DOWNGRADE_CAPTION),
               texts.Text(warning ? IDS_NOTE_TEXT : IDS_DOWNGRADE_TEXT));
  }

 private:
  // The answer words of every language (any case) are yes or no; anything else asks again. The
  // end of input counts as no.
  bool Ask(const std::wstring& caption, const std::wstring& text) {
    // On the error stream, like every other part of the conversation: with the output sent to a
    // file, the questions are still seen. With the error stream sent to a file too, the console
    // asks on the terminal itself.
    TextConsole& console = context_.console;
    const Catalogue& texts = context_.texts;
    const std::wstring question = L"\n" + caption + L"\n" + text + L"\n";
    const std::wstring prompt = texts.Text(IDS_CLI_CONTINUE_PROMPT) + L" ";
    if (answeredByOption_) {
      console.Err(question + prompt + texts.Text(IDS_CLI_ANSWERED_BY_OPTION) + L"\n");
      return true;
    }
    if (!console.CanAsk()) {
      console.Err(question + texts.Text(IDS_CLI_NEEDS_TERMINAL) + L"\n");
      return false;
    }
    console.Ask(question);
    for (;;) {
      console.Ask(prompt);
      const std::optional<std::string> line = console.ReadLine();
      if (!line) {
        console.Ask(L"\n");
        return Declined();
      }
      const std::wstring word = AnswerWord(*line);
      if (IsAnswerWord(word, IDS_CLI_YES_WORDS)) {
        return true;
      }
      if (IsAnswerWord(word, IDS_CLI_NO_WORDS)) {
        return Declined();
      }
      console.Ask(texts.Text(IDS_CLI_ANSWER_YES_NO) + L"\n");
    }
  }

  // Said where the question was asked.
  bool Declined() {
    context_.console.Ask(context_.texts.Text(IDS_CLI_DECLINED) + L"\n");
    return false;
  }

  bool answeredByOption_;
  CliContext& context_;
};

// The guidance the dialog shows for a unit it does not offer to update.
ExitStatus RefuseUnit(UnitReadiness readiness, CliContext& context) {
  const Catalogue& texts = context.texts;
  std::wstring text;
  if (readiness == UnitReadiness::IncompatibleEsc) {
    text = texts.Text(IDS_INCOMPATIBLE_CAPTION) + L"\n" + IncompatibleEscText(texts) + L"\n\n";
  }
  text += texts.Text(WordsFor(readiness).status) + L"\n\n" + texts.Text(IDS_CLI_INSTRUCTIONS);
  context.console.Err(text + L"\n");
  return ExitStatus::NotReady;
}

// How the session ended, in the dialog's words where it has them: the error box's caption,
// message and code line, then its hint.
ExitStatus ReportOutcome(const SessionOutcome& outcome, CliContext& context) {
  const Catalogue& texts = context.texts;
  switch (outcome.end) {
    case SessionEnd::Done:
      context.console.Out(L"\n" + texts.Text(IDS_SUCCESS) + L"\n");
      return ExitStatus::Success;
    case SessionEnd::ImageMissing:
    case SessionEnd::ImageDamaged:
      context.console.Err(texts.Text(ImageRefusalMessage(outcome.end)) + L"\n");
      return ExitStatus::NoImage;
    case SessionEnd::Declined:
      return ExitStatus::Declined;
    case SessionEnd::Stopped:
      context.console.Err(L"\n" + texts.Text(IDS_CLI_INTERRUPTED) + L"\n");
      return ExitStatus::Stopped;
    case SessionEnd::NoUnit:  // the unit was opened just before; counts as failing at the lock
    case SessionEnd::Failed:
      break;
  }
  const std::wstring box =
      FailureText(texts.Text(StageFailureMessage(outcome.stage, outcome.result.code)),
                  outcome.result.code, outcome.result.osError, texts);
  context.console.Err(L"\n" + texts.Text(IDS_UPDATE_FAILED) + L"\n" + box + L"\n\n" +
                      texts.Text(IDS_RETRY_HINT) + L"\n");
  return StageFailureStatus(outcome.stage);
}

}  // namespace

ExitStatus UpdateUnit(const Arguments& arguments, CliContext& context) {
  const Catalogue& texts = context.texts;
  UnitLink link(context.transport, context.waiter);
  RequestResult identified;
  if (const auto refused = OpenUnit(link, arguments, context, identified)) {
    return *refused;
  }

  const UnitSummary unit = SummarizeIdentification(link.devicePath(), link, identified);
  if (!identified.ok()) {
    context.console.Err(FailureText(texts.Text(IDS_CLI_IDENTIFY_FAILED), identified.code,
                                    identified.osError, texts) +
                        L"\n");
    return ExitStatus::NotReady;
  }
  context.console.Out(SummaryLine(unit, texts) + L"\n");
  if (*unit.readiness != UnitReadiness::Ready) {
    return RefuseUnit(*unit.readiness, context);
  }

  TerminalProgress progress(context.console, texts, BlocksForImage(context.firmware.image.size()));
  UpdateSession session(link, progress, context.waiter, context.firmware);
  TerminalPrompts prompts(arguments.yes, context);
  UpdateRecorder recorder(context.wallClock, context.records,
                          {"cli", Utf8FromWide(FirmwareVersionText())});
  // The progress display prints its title after an empty line, so the questions stand apart.
  const SessionOutcome outcome =
      session.Run(prompts, texts.Text(IDS_TRANSFER_RUNNING), &context.guard, &recorder);
  return ReportOutcome(outcome, context);
}

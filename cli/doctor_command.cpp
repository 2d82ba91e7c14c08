#include <algorithm>
#include <nlohmann/json.hpp>
#include <string>

#include "cli/commands.h"
#include "cli/doctor/doctor_checks.h"
#include "cli/doctor/system_facts.h"
#include "cli/readiness_words.h"
#include "cli/unit_search.h"
#include "cli/unit_summary.h"
#include "protocol/vendor.h"
#include "texts/failure_text.h"
#include "texts/message_format.h"
#include "texts/text_encoding.h"

namespace {

// The last check of a unit the system lets this user open: its identification (nothing else is
// sent), judged as update judges it.
void Identify(UnitChecks& unit, CliContext& context) {
  const Catalogue& texts = context.texts;
  const std::string wanted = CanonicalNodePath(unit.nodePath);
  std::optional<UnitListing> listing;
  for (const UnitListing& listed : context.bus.ListUnits()) {
    if (listed.path == unit.nodePath || CanonicalNodePath(listed.path) == wanted) {
      listing = listed;
    }
  }
  if (!listing) {
    unit.checks.push_back({"unit", Verdict::Failed, texts.Text(IDS_DOCTOR_UNIT_SKIPPED), {}});
    unit.status = ExitStatus::NoUnit;
    return;
  }
  const UnitSummary summary = IdentifyListed(*listing, context);
  const std::wstring text =
      FormatWithText(texts.Text(IDS_DOCTOR_UNIT), SummaryLine(summary, texts));
  if (summary.readiness == UnitReadiness::Ready) {
    unit.checks.push_back({"unit", Verdict::Ok, text, {}});
    return;
  }
  std::wstring fix;
  if (summary.readiness) {
    // The guidance update gives: the state's words, then the connection instructions they end on.
    fix =
        texts.Text(WordsFor(*summary.readiness).status) + L"\n" + texts.Text(IDS_CLI_INSTRUCTIONS);
  }
  if (summary.identified.code == RESULT_CLAIM_FAILED) {
    fix = ClaimFailureText(summary.identified.osError, texts);
  }
  unit.checks.push_back({"unit", Verdict::Failed, text, fix});
  unit.status = summary.busy           ? ExitStatus::Busy
                : summary.accessDenied ? ExitStatus::AccessDenied
                                       : ExitStatus::NotReady;
}

const char* VerdictKeyword(Verdict verdict) {
  switch (verdict) {
    case Verdict::Ok:
      return "ok";
    case Verdict::Failed:
      return "failed";
    case Verdict::Warning:
      return "warning";
    case Verdict::Skipped:
      return "skipped";
  }
  return "failed";
}

MessageId VerdictText(Verdict verdict) {
  switch (verdict) {
    case Verdict::Ok:
      return IDS_DOCTOR_PASS;
    case Verdict::Failed:
      return IDS_DOCTOR_FAIL;
    case Verdict::Warning:
      return IDS_DOCTOR_WARN;
    case Verdict::Skipped:
      return IDS_DOCTOR_SKIP;
  }
  return IDS_DOCTOR_FAIL;
}

std::wstring Report(const std::vector<UnitChecks>& units, bool updatable, const Catalogue& texts) {
  // The verdicts in a column as wide as the widest in this language.
  std::size_t width = 0;
  for (const Verdict verdict : {Verdict::Ok, Verdict::Failed, Verdict::Warning, Verdict::Skipped}) {
    width = std::max(width, texts.Text(VerdictText(verdict)).size());
  }
  std::wstring text;
  for (const UnitChecks& unit : units) {
    for (const Check& check : unit.checks) {
      std::wstring verdict = texts.Text(VerdictText(check.verdict));
      verdict.resize(width, L' ');
      text += verdict + L"  " + check.text + L"\n";
      if (!check.fix.empty()) {
        // A fix of several lines stays in the column of the texts.
        const std::wstring indent(width + 2, L' ');
        std::wstring fix = FormatWithText(texts.Text(IDS_DOCTOR_FIX), check.fix);
        for (std::size_t at = 0; (at = fix.find(L'\n', at)) != std::wstring::npos;
             at += indent.size() + 1) {
          fix.insert(at + 1, indent);
        }
        text += indent + fix + L"\n";
      }
    }
    text += L"\n";
  }
  return text + texts.Text(updatable ? IDS_DOCTOR_CAN_UPDATE : IDS_DOCTOR_CANNOT_UPDATE) + L"\n";
}

// A text, or null where there is none.
nlohmann::ordered_json TextOrNull(const std::string& text) {
  return text.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(text);
}

std::string ReportJson(const std::vector<UnitChecks>& units, ExitStatus status) {
  nlohmann::ordered_json json;
  json["status"] = static_cast<int>(status);
  json["updatable"] = status == ExitStatus::Success;
  json["units"] = nlohmann::ordered_json::array();
  for (const UnitChecks& unit : units) {
    nlohmann::ordered_json entry;
    entry["hid_device"] = TextOrNull(unit.hidDevice);
    entry["node"] = TextOrNull(unit.nodePath);
    entry["status"] = static_cast<int>(unit.status);
    entry["checks"] = nlohmann::ordered_json::array();
    for (const Check& check : unit.checks) {
      nlohmann::ordered_json line;
      line["check"] = check.key;
      line["verdict"] = VerdictKeyword(check.verdict);
      line["text"] = Utf8FromWide(check.text);
      line["fix"] = TextOrNull(Utf8FromWide(check.fix));
      entry["checks"].push_back(line);
    }
    json["units"].push_back(entry);
  }
  // Whatever a path or a program name holds, the output stays valid UTF-8 JSON.
  return json.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

}  // namespace

ExitStatus Doctor(const Arguments& arguments, CliContext& context) {
  const Catalogue& texts = context.texts;
  const SystemFacts facts = GatherSystemFacts(context.system, MAKER_VENDOR_ID, context.ruleFiles);
  std::vector<UnitChecks> units = JudgeSystem(facts, context.system.user(), texts);
  ExitStatus status = ExitStatus::Success;
  for (UnitChecks& unit : units) {
    if (!unit.hidDevice.empty()) {
      if (unit.status == ExitStatus::Success) {
        Identify(unit, context);
      } else {
        unit.checks.push_back({"unit", Verdict::Skipped, texts.Text(IDS_DOCTOR_UNIT_SKIPPED), {}});
      }
    }
    if (status == ExitStatus::Success) {
      status = unit.status;
    }
  }
  const bool written =
      arguments.json ? context.console.Out(WideFromUtf8(ReportJson(units, status)))
                     : context.console.Out(Report(units, status == ExitStatus::Success, texts));
  return written ? status : ExitStatus::OutputFailed;
}

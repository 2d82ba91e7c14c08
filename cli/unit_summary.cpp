#include "cli/unit_summary.h"

#include <cstdio>

#include "cli/console.h"
#include "ui/failure_text.h"
#include "ui/version_panel.h"

namespace {

std::string JsonString(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned char>(c));
          out += escaped;
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

std::string JsonString(std::wstring_view text) {
  return JsonString(TerminalText(text));
}

// How a unit's state is named: a fixed keyword for scripts and the catalogue's short label.
struct StateNames {
  const char* keyword;
  MessageId label;
};

StateNames NamesOf(const UnitSummary& unit) {
  if (unit.accessDenied) {
    return {"permission-denied", IDS_CLI_STATE_ACCESS_DENIED};
  }
  if (!unit.readiness) {
    return {"no-answer", IDS_CLI_STATE_NO_ANSWER};
  }
  switch (*unit.readiness) {
    case UnitReadiness::Ready:
      return {"ready", IDS_CLI_STATE_READY};
    case UnitReadiness::WrongMode:
      return {"wrong-mode", IDS_CLI_STATE_WRONG_MODE};
    case UnitReadiness::NoEsc:
      return {"no-esc", IDS_CLI_STATE_NO_ESC};
    case UnitReadiness::IncompatibleEsc:
      return {"incompatible-esc", IDS_INCOMPATIBLE_CAPTION};  // the dialog's own words for it
  }
  return {"no-answer", IDS_CLI_STATE_NO_ANSWER};
}

// The dialog's words for the unit's state: its status text, or the failure with its numbers.
std::wstring StateMessage(const UnitSummary& unit, const Catalogue& texts) {
  if (unit.accessDenied) {
    return texts.Text(IDS_CLI_STATE_ACCESS_DENIED);
  }
  if (!unit.readiness) {
    return FailureText(texts.Text(IDS_CLI_IDENTIFY_FAILED), unit.identifyResult, unit.osError,
                       texts);
  }
  return texts.Text(StatusMessage(*unit.readiness));
}

// The unit's product name: the name the dialog puts in place of the unit row's label.
std::wstring UnitName(std::uint16_t productId) {
  return PanelTextsFor(UnitIdentity(productId)).unitLabel;
}

}  // namespace

UnitSummary SummarizeIdentification(std::string path, const UnitLink& link, ResultCode result,
                                    OsServices& os) {
  UnitSummary unit;
  unit.identifyResult = result;
  if (result != RESULT_OK) {
    unit.osError = os.LastOsError();
  }
  unit.path = std::move(path);
  unit.productId = link.identity().productId();
  if (result == RESULT_OK) {
    unit.identity = link.identity();
    unit.readiness = JudgeUnit(link.identity());
  }
  return unit;
}

MessageId StatusMessage(UnitReadiness readiness) {
  switch (readiness) {
    case UnitReadiness::Ready:
      return IDS_CLI_READY;
    case UnitReadiness::WrongMode:
      return IDS_WRONG_MODE;
    case UnitReadiness::NoEsc:
      return IDS_NO_ESC;
    case UnitReadiness::IncompatibleEsc:
      return IDS_INCOMPATIBLE_HINT;
  }
  return IDS_NO_UNIT;
}

std::wstring SummaryLine(const UnitSummary& unit, const Catalogue& texts) {
  std::wstring line = WideFromUtf8(unit.path) + L"  ";
  if (unit.identity) {
    const PanelTexts panel = PanelTextsFor(*unit.identity);
    line += panel.unitLabel + L" " + panel.unit + L"  " + texts.Text(IDS_LABEL_BOOTLOADER) + L" " +
            panel.bootloader + L"  " + texts.Text(IDS_LABEL_ESC) + L" " + panel.esc;
  } else {
    line += UnitName(unit.productId);
  }
  return line + L"  " + texts.Text(NamesOf(unit).label);
}

std::string SummaryJson(const UnitSummary& unit, const Catalogue& texts) {
  std::string json = "{\"path\": " + JsonString(unit.path) +
                     ", \"unit\": " + JsonString(UnitName(unit.productId)) +
                     ", \"productId\": " + std::to_string(unit.productId);
  if (unit.identity) {
    const PanelTexts panel = PanelTextsFor(*unit.identity);
    json += ", \"unitVersion\": " + JsonString(panel.unit) +
            ", \"bootloaderVersion\": " + JsonString(panel.bootloader) +
            ", \"escVersion\": " + JsonString(panel.esc);
  } else {
    json += ", \"unitVersion\": null, \"bootloaderVersion\": null, \"escVersion\": null";
  }
  json += std::string(", \"state\": \"") + NamesOf(unit).keyword + "\"";
  if (!unit.accessDenied && !unit.readiness) {
    json += ", \"result\": " + std::to_string(unit.identifyResult) +
            ", \"osError\": " + std::to_string(unit.osError);
  }
  return json + ", \"message\": " + JsonString(StateMessage(unit, texts)) + "}";
}

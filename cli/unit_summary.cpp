#include "cli/unit_summary.h"

#include <cstdio>
#include <vector>

#include "cli/line_fit.h"
#include "texts/failure_text.h"
#include "texts/readiness_text.h"
#include "texts/text_encoding.h"
#include "texts/version_text.h"

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
  return JsonString(Utf8FromWide(text));
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
  const ReadinessText& text = TextFor(*unit.readiness);
  return {text.keyword, text.label};
}

// The dialog's words for the unit's state: its status text, or the failure with its numbers.
std::wstring StateMessage(const UnitSummary& unit, const Catalogue& texts) {
  if (unit.accessDenied) {
    return texts.Text(IDS_CLI_STATE_ACCESS_DENIED);
  }
  if (!unit.readiness) {
    return FailureText(texts.Text(IDS_CLI_IDENTIFY_FAILED), unit.identified.code,
                       unit.identified.osError, texts);
  }
  return texts.Text(TextFor(*unit.readiness).terminalStatus);
}

}  // namespace

UnitSummary SummarizeIdentification(std::string path, const UnitLink& link, RequestResult result) {
  UnitSummary unit;
  unit.identified = result;
  unit.path = std::move(path);
  unit.productId = link.identity().productId();
  if (result.ok()) {
    unit.identity = link.identity();
    unit.readiness = JudgeUnit(link.identity());
  }
  return unit;
}

std::wstring SummaryLine(const UnitSummary& unit, const Catalogue& texts) {
  std::vector<std::wstring> fields = {WideFromUtf8(unit.path)};
  if (unit.identity) {
    const VersionTexts versions = VersionTextsFor(*unit.identity);
    fields.push_back(versions.unitName + L" " + versions.unit);
    fields.push_back(texts.Text(IDS_LABEL_BOOTLOADER) + L" " + versions.bootloader);
    fields.push_back(texts.Text(IDS_LABEL_ESC) + L" " + versions.esc);
  } else {
    fields.push_back(UnitName(unit.productId));
  }
  fields.push_back(texts.Text(NamesOf(unit).label));
  return FitFields(fields);
}

std::string SummaryJson(const UnitSummary& unit, const Catalogue& texts) {
  std::string json = "{\"path\": " + JsonString(unit.path) +
                     ", \"unit\": " + JsonString(UnitName(unit.productId)) +
                     ", \"productId\": " + std::to_string(unit.productId);
  if (unit.identity) {
    const VersionTexts versions = VersionTextsFor(*unit.identity);
    json += ", \"unitVersion\": " + JsonString(versions.unit) +
            ", \"bootloaderVersion\": " + JsonString(versions.bootloader) +
            ", \"escVersion\": " + JsonString(versions.esc);
  } else {
    json += ", \"unitVersion\": null, \"bootloaderVersion\": null, \"escVersion\": null";
  }
  json += std::string(", \"state\": \"") + NamesOf(unit).keyword + "\"";
  if (!unit.accessDenied && !unit.readiness) {
    json += ", \"result\": " + std::to_string(unit.identified.code) +
            ", \"osError\": " + std::to_string(unit.identified.osError);
  }
  return json + ", \"message\": " + JsonString(StateMessage(unit, texts)) + "}";
}

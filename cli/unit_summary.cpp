#include "cli/unit_summary.h"

#include <nlohmann/json.hpp>
#include <vector>

#include "cli/line_fit.h"
#include "cli/readiness_words.h"

#include "texts/failure_text.h"
#include "texts/message_format.h"
#include "texts/text_encoding.h"
#include "texts/version_text.h"

namespace {

// How a unit's state is named: a fixed keyword for scripts and the catalogue's short label.
struct StateNames {
  const char* keyword;
  MessageId label;
};

StateNames NamesOf(const UnitSummary& unit) {
  if (unit.accessDenied) {
    return {"permission-denied", IDS_CLI_STATE_ACCESS_DENIED};
  }
  if (unit.busy) {
    return {"busy", IDS_CLI_STATE_BUSY};
  }
  if (!unit.readiness) {
    return {"no-answer", IDS_CLI_STATE_NO_ANSWER};
  }
  const ReadinessWords& words = WordsFor(*unit.readiness);
  return {words.keyword, words.label};
}

// The dialog's words for the unit's state: its status text, or the failure with its numbers.
std::wstring StateMessage(const UnitSummary& unit, const Catalogue& texts) {
  if (unit.accessDenied) {
    return texts.Text(IDS_CLI_STATE_ACCESS_DENIED);
  }
  if (unit.busy) {
    return FormatWithText(texts.Text(IDS_CLI_UNIT_BUSY), WideFromUtf8(unit.path));
  }
  if (unit.identified.code == RESULT_CLAIM_FAILED) {
    return ClaimFailureText(unit.identified.osError, texts);
  }
  if (!unit.readiness) {
    return FailureText(texts.Text(IDS_CLI_IDENTIFY_FAILED), unit.identified.code,
                       unit.identified.osError, texts);
  }
  return texts.Text(WordsFor(*unit.readiness).status);
}

// The versions identification read: the bootloader's and the ESC's only when the unit relays to
// a ready ESC; the ESC's not when it has none.
struct ReadVersions {
  std::optional<std::wstring> unit, bootloader, esc;
};

ReadVersions VersionsOf(const UnitSummary& unit) {
  ReadVersions read;
  if (!unit.identity) {
    return read;
  }
  const VersionTexts versions = VersionTextsFor(*unit.identity);
  read.unit = versions.unit;
  if (unit.identity->unitMode() == 0 && unit.identity->escState() == ESC_STATE_READY) {
    read.bootloader = versions.bootloader;
    if (unit.identity->escFirmwareVersion() != ESC_VERSION_NONE) {
      read.esc = versions.esc;
    }
  }
  return read;
}

nlohmann::ordered_json JsonText(const std::optional<std::wstring>& text) {
  return text ? nlohmann::ordered_json(Utf8FromWide(*text)) : nlohmann::ordered_json(nullptr);
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
    const ReadVersions read = VersionsOf(unit);
    const std::wstring unknown = texts.Text(IDS_CLI_VERSION_UNKNOWN);
    // An ESC without firmware shows the dialog's dashes; a version not read says so.
    const std::wstring esc = read.bootloader ? read.esc.value_or(versions.esc) : unknown;
    fields.push_back(versions.unitName + L" " + *read.unit);
    fields.push_back(texts.Text(IDS_LABEL_BOOTLOADER) + L" " + read.bootloader.value_or(unknown));
    fields.push_back(texts.Text(IDS_LABEL_ESC) + L" " + esc);
  } else {
    fields.push_back(UnitName(unit.productId));
  }
  fields.push_back(texts.Text(NamesOf(unit).label));
  return FitFields(fields);
}

std::string SummaryJson(const std::vector<UnitSummary>& units, const CarriedSummary& carried,
                        const Catalogue& texts) {
  nlohmann::ordered_json all = nlohmann::ordered_json::array();
  for (const UnitSummary& unit : units) {
    const ReadVersions read = VersionsOf(unit);
    nlohmann::ordered_json json;
    json["path"] = unit.path;
    json["unit"] = Utf8FromWide(UnitName(unit.productId));
    json["productId"] = unit.productId;
    json["unitVersion"] = JsonText(read.unit);
    json["bootloaderVersion"] = JsonText(read.bootloader);
    json["escVersion"] = JsonText(read.esc);
    json["state"] = NamesOf(unit).keyword;
    if (!unit.accessDenied && !unit.busy && !unit.readiness) {
      json["result"] = unit.identified.code;
      json["osError"] = unit.identified.osError;
    }
    json["message"] = Utf8FromWide(StateMessage(unit, texts));
    json["carriedVersion"] = Utf8FromWide(carried.version);
    json["carriedImageIsStandin"] = carried.standin;
    json["updateOffered"] = unit.readiness == UnitReadiness::Ready;
    all.push_back(std::move(json));
  }
  // A path is bytes from the system: anything that is not UTF-8 is replaced, never thrown over.
  return all.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

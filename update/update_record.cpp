#include "update/update_record.h"

#include <cstdio>

#include "protocol/vendor.h"
#include "update/firmware_package.h"
#include "update/json_text.h"

namespace {

// "major.minor" from bits 8..15 and 0..7, as the version rows show it.
std::string TwoComponents(std::uint32_t value) {
  return std::to_string((value >> 8) & 0xFFu) + "." + std::to_string(value & 0xFFu);
}

// The versions identification read, as the version rows show them; null where it did not read
// one (a unit in another mode, no ESC, an ESC without firmware). Appended piece by piece: GCC 12
// warns falsely about `"literal" + std::string` chains (-Wrestrict).
void AppendVersions(std::string& line, const UnitIdentity& unit) {
  // The unit reports its version either in the low two bytes or one byte higher with a zero
  // low byte.
  std::uint32_t unitVersion = unit.unitVersion();
  if ((unitVersion & 0xFFu) == 0) {
    unitVersion >>= 8;
  }
  const bool escRead = unit.unitMode() == 0 && unit.escState() == ESC_STATE_READY;
  const bool escFirmware = escRead && unit.escFirmwareVersion() != ESC_VERSION_NONE;
  char escType[16];
  std::snprintf(escType, sizeof escType, "\"0x%08x\"", static_cast<unsigned>(unit.escTypeId()));
  line += "\"unitVersion\":";
  line += unitVersion != 0 ? JsonString(TwoComponents(unitVersion)) : "null";
  line += ",\"bootloaderVersion\":";
  line += escRead ? JsonString(TwoComponents(unit.escBootloaderVersion())) : "null";
  line += ",\"escVersion\":";
  line += escFirmware ? JsonString(TwoComponents(unit.escFirmwareVersion())) : "null";
  line += ",\"escType\":";
  line += escRead ? escType : "null";
}

void AppendResult(std::string& line, const RequestResult& result) {
  line += "\"result\":";
  line += std::to_string(result.code);
  line += ",\"osError\":";
  line += std::to_string(result.osError);
}

const char* EndKeyword(SessionEnd end) {
  switch (end) {
    case SessionEnd::Done:
      return "done";
    case SessionEnd::NoUnit:
      return "no-unit";
    case SessionEnd::ImageMissing:
      return "image-missing";
    case SessionEnd::ImageDamaged:
      return "image-damaged";
    case SessionEnd::Declined:
      return "declined";
    case SessionEnd::Stopped:
      return "stopped";
    case SessionEnd::Failed:
      return "failed";
  }
  return "failed";
}

std::string Hex(const Sha256Digest& digest) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string hex;
  for (const std::uint8_t byte : digest) {
    hex.push_back(kHex[byte >> 4]);
    hex.push_back(kHex[byte & 0xF]);
  }
  return hex;
}

// Days since 1970-01-01 to a civil date (proleptic Gregorian), without the C library's time
// zone machinery, which the browser and Windows builds treat differently.
void CivilFromDays(std::int64_t days, int& year, unsigned& month, unsigned& day) {
  days += 719468;
  const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const unsigned dayOfEra = static_cast<unsigned>(days - era * 146097);
  const unsigned yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const unsigned monthIndex = (5 * dayOfYear + 2) / 153;
  day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
  month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
  year = static_cast<int>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
}

}  // namespace

const char* StageKeyword(UpdateStage stage) {
  switch (stage) {
    case UpdateStage::Lock:
      return "lock";
    case UpdateStage::OpenFlash:
      return "open-flash";
    case UpdateStage::Erase:
      return "erase";
    case UpdateStage::Address:
      return "address";
    case UpdateStage::Transfer:
      return "transfer";
  }
  return "transfer";
}

std::optional<UpdateStage> StageFromKeyword(std::string_view keyword) {
  for (const UpdateStage stage : {UpdateStage::Lock, UpdateStage::OpenFlash, UpdateStage::Erase,
                                  UpdateStage::Address, UpdateStage::Transfer}) {
    if (keyword == StageKeyword(stage)) {
      return stage;
    }
  }
  return std::nullopt;
}

std::string UtcTimestamp(std::int64_t utcMilliseconds) {
  const std::int64_t msPerDay = 86400000;
  std::int64_t days = utcMilliseconds / msPerDay;
  std::int64_t msOfDay = utcMilliseconds % msPerDay;
  if (msOfDay < 0) {
    msOfDay += msPerDay;
    --days;
  }
  int year = 0;
  unsigned month = 0;
  unsigned day = 0;
  CivilFromDays(days, year, month, day);
  char text[40];
  std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02u:%02u:%02u.%03uZ", year, month, day,
                static_cast<unsigned>(msOfDay / 3600000),
                static_cast<unsigned>(msOfDay / 60000 % 60),
                static_cast<unsigned>(msOfDay / 1000 % 60), static_cast<unsigned>(msOfDay % 1000));
  return text;
}

std::string RecordLine(const UpdateRecord& record) {
  const UnitIdentity& unit = record.unitBefore;
  std::string line = "{\"time\":";
  line += JsonString(UtcTimestamp(record.startUtcMs));
  line += ",\"frontEnd\":";
  line += JsonString(record.origin.frontEnd);
  line += ",\"programVersion\":";
  line += JsonString(record.origin.programVersion);
  line += ",\"unit\":{\"path\":";
  line += JsonString(DevicePathView(record.unitPath));
  line += ",\"kind\":";
  line += unit.productId() == PRODUCT_ID_TORVEX ? "\"TORVEX\"" : "\"MAVIRA\"";
  line += ",\"productId\":";
  line += std::to_string(unit.productId());
  // The units report no serial number, so none is known to record.
  line += ",\"serial\":null,";
  AppendVersions(line, unit);
  line += "},\"carried\":{\"version\":";
  line += JsonString(TwoComponents(record.carriedVersion));
  line += ",\"sha256\":\"";
  line += Hex(record.carriedSha256);
  line += "\"},\"stages\":[";
  bool first = true;
  for (const StageRecord& stage : record.stages) {
    line += first ? "{\"stage\":\"" : ",{\"stage\":\"";
    first = false;
    line += StageKeyword(stage.stage);
    line += "\",\"start\":";
    line += JsonString(UtcTimestamp(stage.startUtcMs));
    line += ",";
    if (stage.result) {
      AppendResult(line, *stage.result);
    } else {
      line += "\"result\":null,\"osError\":null";
    }
    line += "}";
  }
  const SessionOutcome& outcome = record.outcome;
  line += "],\"outcome\":{\"end\":\"";
  line += EndKeyword(outcome.end);
  line += "\",\"stage\":";
  if (outcome.end == SessionEnd::Done) {
    line += "null";
  } else {
    line += "\"";
    line += StageKeyword(outcome.stage);
    line += "\"";
  }
  line += ",";
  AppendResult(line, outcome.result);
  line += "},\"durationMs\":";
  line += std::to_string(record.endUtcMs - record.startUtcMs);
  line += "}\n";
  return line;
}

void UpdateRecorder::UpdateBegun(const UnitLink& link, const CarriedFirmware& firmware) {
  record_ = UpdateRecord{};
  record_.origin = origin_;
  record_.startUtcMs = clock_.UtcMilliseconds();
  record_.unitPath = link.devicePath();
  record_.unitBefore = link.identity();
  record_.carriedVersion = FIRMWARE_VERSION;
  record_.carriedSha256 = firmware.digest;
}

void UpdateRecorder::StageBegun(UpdateStage stage) {
  record_.stages.push_back({stage, clock_.UtcMilliseconds(), std::nullopt});
}

void UpdateRecorder::StageEnded(UpdateStage stage, const RequestResult& result) {
  if (!record_.stages.empty() && record_.stages.back().stage == stage) {
    record_.stages.back().result = result;
  }
}

void UpdateRecorder::UpdateEnded(const SessionOutcome& outcome) {
  record_.outcome = outcome;
  record_.endUtcMs = clock_.UtcMilliseconds();
  sink_.Append(RecordLine(record_));
}

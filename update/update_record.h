#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/device_path.h"
#include "protocol/result_code.h"
#include "protocol/unit_identity.h"
#include "update/sha256.h"
#include "update/update_session.h"

// The time of day in UTC, for the record's timestamps. Each front end passes its system clock;
// tests pass a fake one.
class WallClock {
 public:
  virtual ~WallClock() = default;
  // Milliseconds since 1970-01-01 00:00 UTC.
  virtual std::int64_t UtcMilliseconds() = 0;
};

// Where a front end keeps its records: a file, the page's storage. It takes one whole line (a
// JSON object and '\n') at a time and must never block or fail the update: a front end reports a
// record it could not keep in its own way.
class UpdateRecordSink {
 public:
  virtual ~UpdateRecordSink() = default;
  virtual void Append(std::string_view line) = 0;
};

// Who writes the record: the front end ("cli", "windows", "web") and the program's version.
struct RecordOrigin {
  std::string frontEnd;
  std::string programVersion;
};

struct StageRecord {
  UpdateStage stage = UpdateStage::Lock;
  std::int64_t startUtcMs = 0;
  // None for a stage begun and never ended: the update was stopped during it.
  std::optional<RequestResult> result;
};

// One update that passed the questions, for the maker's support: what it began with, what each
// stage did, how it ended. Nothing else (no user, no path but the unit's).
struct UpdateRecord {
  RecordOrigin origin;
  std::int64_t startUtcMs = 0;
  std::int64_t endUtcMs = 0;
  DevicePath unitPath;
  UnitIdentity unitBefore;  // the unit's product ID and the versions identification read
  std::uint16_t carriedVersion = 0;
  Sha256Digest carriedSha256{};
  std::vector<StageRecord> stages;
  SessionOutcome outcome;
};

// The record as one line of JSON, '\n' included: valid JSON whatever the path holds.
std::string RecordLine(const UpdateRecord& record);
// "2026-12-11T07:34:31.123Z".
std::string UtcTimestamp(std::int64_t utcMilliseconds);
// The name of a stage in the record: lock, open-flash, erase, address, transfer.
const char* StageKeyword(UpdateStage stage);
// The stage a record names, for reading records back; none for a name that is no stage.
std::optional<UpdateStage> StageFromKeyword(std::string_view keyword);

// Listens to an update session and, when it ends, hands its record to the sink as one line.
// Given to UpdateSession::Run; reusable for the next update.
class UpdateRecorder final : public SessionObserver {
 public:
  UpdateRecorder(WallClock& clock, UpdateRecordSink& sink, RecordOrigin origin)
      : clock_(clock), sink_(sink), origin_(std::move(origin)) {}

  void UpdateBegun(const UnitLink& link, const CarriedFirmware& firmware) override;
  void StageBegun(UpdateStage stage) override;
  void StageEnded(UpdateStage stage, const RequestResult& result) override;
  void UpdateEnded(const SessionOutcome& outcome) override;

 private:
  WallClock& clock_;
  UpdateRecordSink& sink_;
  RecordOrigin origin_;
  UpdateRecord record_;
};

// The record of an update: one JSON line per update that passed the questions, written when it
// ends however it ends, valid whatever the unit's path holds.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "logic_fixture.h"
#include "update/json_text.h"
#include "update/update_record.h"
#include "update/update_session.h"

namespace {

// 2026-12-11 07:00:00 UTC, moved on by the fake clock's waits.
constexpr std::int64_t kEpochMs = 1796972400000;

class FakeWallClock final : public WallClock {
 public:
  explicit FakeWallClock(const FakeClock& clock) : clock_(clock) {}
  std::int64_t UtcMilliseconds() override {
    return kEpochMs + static_cast<std::int64_t>(clock_.nowMs);
  }

 private:
  const FakeClock& clock_;
};

class LinesSink final : public UpdateRecordSink {
 public:
  void Append(std::string_view line) override { lines.emplace_back(line); }
  std::vector<std::string> lines;
};

class AnswerPrompts final : public UpdatePrompts {
 public:
  explicit AnswerPrompts(bool yes) : yes_(yes) {}
  bool Confirm(Confirmation) override { return yes_; }

 private:
  bool yes_;
};

// Asks the update to stop once the unit has seen `afterRequests` requests of the update.
class StopAfter final : public UpdateGuard, public StopRequest {
 public:
  StopAfter(const sim::SimulatedUnit& unit, std::size_t afterRequests)
      : unit_(unit), afterRequests_(afterRequests) {}
  void Raise() override {}
  void Lower() override {}
  const StopRequest& stop() const override { return *this; }
  bool Requested() const override { return unit_.requests().size() >= afterRequests_; }

 private:
  const sim::SimulatedUnit& unit_;
  std::size_t afterRequests_;
};

class UpdateRecordTest : public ReadyUnitTest {
 protected:
  UpdateRecordTest() : wall(clock), recorder(wall, sink, {"cli", "3.3"}) {
    UseImage(std::vector<std::uint8_t>(100, 0x5A));
  }

  // Runs one session over the ready unit and returns its record, parsed (null when none).
  nlohmann::json RunSession(bool yes = true, UpdateGuard* guard = nullptr) {
    UpdateSession session(link, progress, clock, CarriedFirmware{image, digest});
    AnswerPrompts prompts(yes);
    session.Run(prompts, L"transfer", guard, &recorder);
    if (sink.lines.empty()) {
      return nullptr;
    }
    EXPECT_EQ(sink.lines.size(), 1u);
    const std::string& line = sink.lines.back();
    EXPECT_EQ(line.back(), '\n');
    EXPECT_EQ(line.find('\n'), line.size() - 1) << "one line per update";
    return nlohmann::json::parse(line);
  }

  // The stages as "name result osError" for short comparisons.
  static std::vector<std::string> Stages(const nlohmann::json& record) {
    std::vector<std::string> stages;
    for (const auto& stage : record["stages"]) {
      stages.push_back(stage["stage"].get<std::string>() + " " + stage["result"].dump() + " " +
                       stage["osError"].dump());
    }
    return stages;
  }

  FakeWallClock wall;
  LinesSink sink;
  UpdateRecorder recorder;
};

TEST_F(UpdateRecordTest, AWholeUpdateRecordsTheUnitTheImageEachStageAndTheDuration) {
  StartWithReadyUnit();
  const nlohmann::json record = RunSession();

  EXPECT_EQ(record["time"], "2026-12-11T07:00:00.000Z");
  EXPECT_EQ(record["frontEnd"], "cli");
  EXPECT_EQ(record["programVersion"], "3.3");
  EXPECT_EQ(record["unit"]["path"], kUnitPath);
  EXPECT_EQ(record["unit"]["kind"], "MAVIRA");
  EXPECT_EQ(record["unit"]["productId"], 2);
  EXPECT_TRUE(record["unit"]["serial"].is_null());
  // The versions before the update, not the one it installed.
  EXPECT_EQ(record["unit"]["unitVersion"], "1.2");
  EXPECT_EQ(record["unit"]["bootloaderVersion"], "1.5");
  EXPECT_EQ(record["unit"]["escVersion"], "3.2");
  EXPECT_EQ(record["unit"]["escType"], "0x1422605a");
  EXPECT_EQ(record["carried"]["version"], "3.3");
  std::string hex;
  for (const std::uint8_t byte : digest) {
    char two[3];
    std::snprintf(two, sizeof two, "%02x", byte);
    hex += two;
  }
  EXPECT_EQ(record["carried"]["sha256"], hex);

  EXPECT_EQ(Stages(record), (std::vector<std::string>{"lock 0 0", "open-flash 0 0", "erase 0 0",
                                                      "address 0 0", "transfer 0 0"}));
  // Each stage's start is the clock's time when it was sent: 20 ms gaps, then the erase's 1 s
  // before its reply and 4 s after it.
  EXPECT_EQ(record["stages"][0]["start"], "2026-12-11T07:00:00.000Z");
  EXPECT_EQ(record["stages"][2]["start"], "2026-12-11T07:00:00.040Z");
  EXPECT_EQ(record["stages"][3]["start"], "2026-12-11T07:00:05.060Z");
  EXPECT_EQ(record["outcome"], nlohmann::json::parse(R"({"end":"done","stage":null,"result":0,
                                                          "osError":0})"));
  EXPECT_EQ(record["durationMs"], static_cast<std::int64_t>(clock.nowMs));
}

TEST_F(UpdateRecordTest, NoRecordWithoutBothYesAnswers) {
  StartWithReadyUnit();
  EXPECT_TRUE(RunSession(false).is_null());
  EXPECT_TRUE(sink.lines.empty());
}

struct RecordFailureCase {
  const char* name;
  sim::Fault fault;
  std::vector<std::string> stages;
  const char* outcome;

  friend void PrintTo(const RecordFailureCase& c, std::ostream* out) { *out << c.name; }
};

class RecordFailureTest : public UpdateRecordTest,
                          public ::testing::WithParamInterface<RecordFailureCase> {};

using K = sim::FaultKind;
const RecordFailureCase kRecordFailureCases[] = {
    {"LockRefused",
     {0x0B, 1, K::Refuse, 5},
     {"lock 1627 0"},
     R"({"end":"failed","stage":"lock","result":1627,"osError":0})"},
    {"EraseRefused",
     {0x1E, 1, K::Refuse, 9},
     {"lock 0 0", "open-flash 0 0", "erase 9 0"},
     R"({"end":"failed","stage":"erase","result":9,"osError":0})"},
    {"ThirdBlockNotWritten",
     {0x1B, 3, K::WriteFailure},
     {"lock 0 0", "open-flash 0 0", "erase 0 0", "address 0 0", "transfer -2 31"},
     R"({"end":"failed","stage":"transfer","result":-2,"osError":31})"},
};

TEST_P(RecordFailureTest, AFailureRecordsTheStagesReachedAndBothNumbers) {
  StartWithReadyUnit();
  unit->AddFault(GetParam().fault);
  const nlohmann::json record = RunSession();
  EXPECT_EQ(Stages(record), GetParam().stages);
  EXPECT_EQ(record["outcome"], nlohmann::json::parse(GetParam().outcome));
  EXPECT_EQ(record["durationMs"], static_cast<std::int64_t>(clock.nowMs));
}

INSTANTIATE_TEST_SUITE_P(Failures, RecordFailureTest, ::testing::ValuesIn(kRecordFailureCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(UpdateRecordTest, AStopRecordsTheStageItCutShort) {
  StartWithReadyUnit();
  // Lock, open flash, erase, address and two blocks sent: the stop comes during the transfer.
  StopAfter guard(*unit, 6);
  const nlohmann::json record = RunSession(true, &guard);
  EXPECT_EQ(Stages(record), (std::vector<std::string>{"lock 0 0", "open-flash 0 0", "erase 0 0",
                                                      "address 0 0", "transfer null null"}));
  EXPECT_EQ(record["outcome"], nlohmann::json::parse(R"({"end":"stopped","stage":"transfer",
                                                          "result":0,"osError":0})"));
}

TEST_F(UpdateRecordTest, AStopBeforeTheLockRecordsNoStage) {
  StartWithReadyUnit();
  StopAfter guard(*unit, 0);
  const nlohmann::json record = RunSession(true, &guard);
  EXPECT_TRUE(record["stages"].empty());
  EXPECT_EQ(record["outcome"]["end"], "stopped");
  EXPECT_EQ(record["outcome"]["stage"], "lock");
}

TEST_F(UpdateRecordTest, APathOfAnyBytesGivesValidJson) {
  // A device path is bytes: not UTF-8, control characters, quotes and backslashes all occur.
  unit = Plug(std::string("/dev/hid\xFF\xC3(\"q\\\x01\t\x7F\xE2\x82\xAC"));
  ASSERT_TRUE(link.Open().ok());
  const nlohmann::json record = RunSession();
  EXPECT_EQ(record["unit"]["path"], "/dev/hid\xEF\xBF\xBD\xEF\xBF\xBD(\"q\\\x01\t\x7F\xE2\x82\xAC");
}

struct JsonStringCase {
  std::string bytes;
  std::string json;
};

TEST(JsonString, EscapesAndReplacesWhatJsonCannotCarry) {
  const JsonStringCase cases[] = {
      {"", "\"\""},
      {"plain /dev/hidraw0", "\"plain /dev/hidraw0\""},
      {"\"\\", "\"\\\"\\\\\""},
      {std::string("\x00\x1F\x7F", 3), "\"\\u0000\\u001f\\u007f\""},
      {"\xC3\xA4\xF0\x9F\x98\x80", "\"\xC3\xA4\xF0\x9F\x98\x80\""},  // kept as it is
      {"\xC3", "\"\xEF\xBF\xBD\""},                                  // cut-off sequence
      {"\xC0\xAF", "\"\xEF\xBF\xBD\xEF\xBF\xBD\""},                  // overlong '/'
      {"\xED\xA0\x80", "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},  // a surrogate
      {"\xF4\x90\x80\x80"
       "a",
       "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"
       "a\""},
  };
  for (const JsonStringCase& c : cases) {
    EXPECT_EQ(JsonString(c.bytes), c.json) << c.json;
    EXPECT_TRUE(nlohmann::json::accept(JsonString(c.bytes))) << c.json;
  }
}

TEST(JsonString, JoinsSurrogatePairsOfWidePathsAndReplacesLoneHalves) {
  EXPECT_EQ(JsonString(std::wstring_view(L"\\\\?\\hid#\u00e4")), "\"\\\\\\\\?\\\\hid#\xC3\xA4\"");
  const wchar_t lone[] = {L'a', static_cast<wchar_t>(0xD800), L'b', 0};
  EXPECT_EQ(JsonString(std::wstring_view(lone)),
            "\"a\xEF\xBF\xBD"
            "b\"");
  const wchar_t lowFirst[] = {static_cast<wchar_t>(0xDC00), static_cast<wchar_t>(0xD800), 0};
  EXPECT_EQ(JsonString(std::wstring_view(lowFirst)), "\"\xEF\xBF\xBD\xEF\xBF\xBD\"");
}

TEST(UtcTimestamp, GivesTheCivilDateInUtc) {
  const std::pair<std::int64_t, const char*> cases[] = {
      {0, "1970-01-01T00:00:00.000Z"},
      {951782400000, "2000-02-29T00:00:00.000Z"},
      {1796972400123, "2026-12-11T07:00:00.123Z"},
      {4107542399999, "2100-02-28T23:59:59.999Z"},
      {-1, "1969-12-31T23:59:59.999Z"},
  };
  for (const auto& [ms, text] : cases) {
    EXPECT_EQ(UtcTimestamp(ms), text) << ms;
  }
}

}  // namespace

namespace {

// The dialog's Update button (Windows and the page) records through the observer its front end
// gives the logic; the failure box and the record carry the same numbers.
TEST_F(UpdateRecordTest, TheDialogRecordsThroughTheObserverItIsGiven) {
  StartWithReadyUnit();
  unit->AddFault({0x20, 1, sim::FaultKind::Refuse, 7});
  DialogLogic recorded({view, link, *catalogue, progress, clock, &recorder},
                       CarriedFirmware{image, digest});
  recorded.runner.Run();
  ASSERT_EQ(sink.lines.size(), 1u);
  const nlohmann::json record = nlohmann::json::parse(sink.lines[0]);
  EXPECT_EQ(record["outcome"], nlohmann::json::parse(R"({"end":"failed","stage":"open-flash",
                                                          "result":7,"osError":0})"));
  ASSERT_FALSE(view.messages.empty());
  EXPECT_NE(view.messages.back().text.find(L"0x00000007-0x00000000"), std::wstring::npos);
}

}  // namespace

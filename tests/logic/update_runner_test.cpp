#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "build_facts.h"
#include "sim/sim_transport.h"
#include "tests/logic/logic_fixture.h"
#include "tests/support/expected_requests.h"
#include "tests/support/stage_failures.h"
#include "tests/support/test_image.h"
#include "update/sha256.h"

namespace {

using stage_failures::StageFailure;

// As long as the stand-in image; the tests hand the update this image themselves, so they hold
// whatever image the build carries.
constexpr std::size_t kCarriedImageBytes = 97744;
constexpr std::uint32_t kCarriedImageBlocks = (kCarriedImageBytes + 47) / 48;
// The version the build carries and its neighbours, for the version question's boundary.
constexpr std::uint16_t kCarried = build_facts::kVersionWord;
constexpr std::uint16_t kOlder = kCarried - 1;
constexpr std::uint16_t kNewer = kCarried + 1;
constexpr std::size_t kReportBytes = 65;  // the simulated unit's output report length

std::wstring Hex8(std::uint32_t value) {
  std::wstring text;
  for (int shift = 28; shift >= 0; shift -= 4) {
    text.push_back(L"0123456789abcdef"[(value >> shift) & 0xF]);
  }
  return text;
}

std::string Hex2(std::uint8_t value) {
  const char* digits = "0123456789abcdef";
  return {digits[value >> 4], digits[value & 0xF]};
}

// Compares every fixed byte of every request; reports the first few differences.
void ExpectRequests(const std::vector<sim::RecordedRequest>& actual,
                    const std::vector<expected::RequestPattern>& patterns) {
  ASSERT_EQ(actual.size(), patterns.size());
  int reported = 0;
  for (std::size_t i = 0; i < actual.size() && reported < 5; ++i) {
    const auto& bytes = actual[i].bytes;
    if (bytes.size() != kReportBytes) {
      ADD_FAILURE() << "request " << i << " is " << bytes.size() << " bytes";
      ++reported;
      continue;
    }
    const std::string mismatch = expected::Mismatch(patterns[i], bytes);
    if (!mismatch.empty()) {
      ADD_FAILURE() << "request " << i << ", " << mismatch;
      ++reported;
    }
  }
}

bool IsClosingRequest(const sim::RecordedRequest& request) {
  return (request.bytes[1] == 0x20 && request.bytes[3] == 0x01) ||
         (request.bytes[1] == 0x0B && request.bytes[3] == 0x00);
}

class UpdateRunnerTest : public ReadyUnitTest {
 protected:
  void SetUp() override {
    ReadyUnitTest::SetUp();
    timeline.requestCount = [this] { return unit ? unit->requests().size() : 0; };
  }

  // The warning box as Run shows it first.
  void ExpectWarningBox(const ShownMessage& box) {
    EXPECT_EQ(box.text, T(IDS_NOTE_TEXT));
    EXPECT_EQ(box.caption, T(IDS_NOTE_CAPTION));
    EXPECT_EQ(box.icon, MessageIcon::Warning);
    EXPECT_EQ(box.buttons, MessageButtons::OkCancel);
  }

  void ExpectSucceeded() {
    EXPECT_EQ(view.hint, T(IDS_SUCCESS));
    EXPECT_EQ(view.updateEnabled, false);
    EXPECT_TRUE(link.IsOpen());
    EXPECT_EQ(link.identity().escFirmwareVersion(), kCarried);
    EXPECT_EQ(view.rows->esc, build_facts::kVersionTextW);
    EXPECT_TRUE(PanelEnabled(true));
    EXPECT_FALSE(progress.open);
  }
};

TEST_F(UpdateRunnerTest, CarriedImageSizedUpdateSendsTheExactTraceWithItsWaitsAndProgress) {
  UseImage(MakeTestImage(kCarriedImageBytes));
  StartWithReadyUnit();

  runner().Run();

  // Requests, byte for byte.
  const auto blocks = expected::UpdateBlocks(image);
  ASSERT_EQ(blocks.size(), 2037u);
  ASSERT_EQ(blocks.back().size(), 16u);
  const auto& requests = unit->requests();
  ExpectRequests(requests, expected::UpdateRequests(image));
  EXPECT_EQ(unit->flash(), image);

  // Where the waits fall: the clock moves only by waiting, so each request's time stamp is the
  // sum of the waits before it.
  std::vector<std::uint64_t> expectedTimes = {0, 20, 40, 5060};
  for (std::uint64_t i = 0; i < 2037; ++i) {
    expectedTimes.push_back(5080 + 20 * i);
  }
  expectedTimes.push_back(45820);
  expectedTimes.push_back(45820);
  std::vector<std::uint64_t> times;
  for (const auto& request : requests) {
    times.push_back(request.timeMs);
  }
  EXPECT_EQ(times, expectedTimes);
  ASSERT_EQ(requests.size(), expectedTimes.size());
  EXPECT_EQ(requests[2].replyTimeMs, std::optional<std::uint64_t>(1040));  // erase: 1 s to reply

  std::vector<std::uint32_t> expectedWaits = {20, 20, 1000, 4000, 20, 20};
  expectedWaits.insert(expectedWaits.end(), 2037, 20);
  EXPECT_EQ(clock.waits, expectedWaits);

  // Progress: one step per block after its reply, 100 only with the last.
  std::vector<std::uint32_t> expectedPositions;
  for (std::uint64_t sent = 48; sent < kCarriedImageBytes; sent += 48) {
    expectedPositions.push_back(static_cast<std::uint32_t>(sent * 100 / kCarriedImageBytes));
  }
  expectedPositions.push_back(100);
  EXPECT_EQ(progress.positions, expectedPositions);
  ASSERT_EQ(progress.positions.size(), 2037u);
  EXPECT_EQ(progress.positions[0], 0u);
  EXPECT_EQ(progress.positions[20], 1u);     // 1,008 bytes
  EXPECT_EQ(progress.positions[1017], 49u);  // 48,864 bytes
  EXPECT_EQ(progress.positions[1018], 50u);  // 48,912 bytes
  EXPECT_EQ(progress.positions[2035], 99u);  // 97,728 bytes
  EXPECT_EQ(std::count(progress.positions.begin(), progress.positions.end(), 100u), 1);
  EXPECT_EQ(progress.titles, (std::vector<std::wstring>{T(IDS_TRANSFER_RUNNING)}));

  // Everything in one order: requests, waits, progress and the box.
  std::vector<std::string> expectedTimeline = {
      "message box", "request 0b 01", "wait 20", "request 20 01", "wait 20", "request 1e 04",
      "wait 1000",   "wait 4000",     "wait 20", "request 1f 09", "wait 20", "progress open"};
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    expectedTimeline.push_back(i + 1 < blocks.size() ? "request 1b 30" : "request 1b 10");
    expectedTimeline.push_back("progress " + std::to_string(expectedPositions[i]));
    expectedTimeline.push_back("wait 20");
  }
  expectedTimeline.insert(expectedTimeline.end(),
                          {"progress close", "request 20 01", "request 0b 01"});
  EXPECT_EQ(timeline.Merge(requests.size(),
                           [&](std::size_t i) {
                             return "request " + Hex2(requests[i].bytes[1]) + " " +
                                    Hex2(requests[i].bytes[2]);
                           }),
            expectedTimeline);

  // The outcome.
  ASSERT_EQ(view.messages.size(), 1u);
  ExpectWarningBox(view.messages[0]);
  EXPECT_EQ(view.messages[0].hintWhenShown, T(IDS_READY));
  ExpectSucceeded();
  EXPECT_EQ(PanelValues(), (std::vector<std::wstring>{L"1.2", L"1.5", build_facts::kVersionTextW}));
  EXPECT_FALSE(unit->locked());
  EXPECT_TRUE(unit->writeProtected());
}

TEST_F(UpdateRunnerTest, SuccessInGerman) {
  UseLanguage(Language::German);
  UseImage(MakeTestImage(96));
  StartWithReadyUnit();
  runner().Run();
  ASSERT_EQ(view.messages.size(), 1u);
  EXPECT_EQ(view.messages[0].text, TableText(IDS_NOTE_TEXT, Language::German));
  EXPECT_EQ(view.messages[0].caption, TableText(IDS_NOTE_CAPTION, Language::German));
  EXPECT_EQ(progress.titles,
            (std::vector<std::wstring>{TableText(IDS_TRANSFER_RUNNING, Language::German)}));
  EXPECT_EQ(view.hint, TableText(IDS_SUCCESS, Language::German));
}

TEST_F(UpdateRunnerTest, SecondUpdateNeedsTheUnitToBeRemovedAndAReadyUnitToArrive) {
  UseImage(MakeTestImage(96));
  StartWithReadyUnit();
  runner().Run();
  ASSERT_EQ(view.hint, T(IDS_SUCCESS));

  connection().OnDeviceChange(Arrival(kUnitPath));
  EXPECT_EQ(view.updateEnabled, false);
  EXPECT_EQ(view.hint, T(IDS_SUCCESS));

  connection().OnDeviceChange(Removal(kUnitPath));
  connection().OnDeviceChange(Arrival(kUnitPath));
  EXPECT_EQ(view.updateEnabled, true);
  EXPECT_EQ(view.hint, T(IDS_READY));
}

// ---- Image lengths ----

struct ImageCase {
  std::size_t length;
  std::vector<int> blockBytes;  // byte 2 of each write-block request
  std::vector<std::uint32_t> positions;

  friend void PrintTo(const ImageCase& c, std::ostream* out) { *out << c.length << " bytes"; }
};

class ImageLengthTest : public UpdateRunnerTest, public ::testing::WithParamInterface<ImageCase> {};

TEST_P(ImageLengthTest, CutsTheImageIntoBlocksWithAWordRoundedTail) {
  const ImageCase& c = GetParam();
  UseImage(MakeTestImage(c.length));
  StartWithReadyUnit();

  runner().Run();

  std::vector<int> blockBytes;
  for (const auto& request : unit->requests()) {
    if (request.bytes[1] == 0x1B) {
      blockBytes.push_back(request.bytes[2]);
    }
  }
  EXPECT_EQ(blockBytes, c.blockBytes);
  EXPECT_EQ(progress.positions, c.positions);
  // Every image byte arrives, followed only by 0xFF up to the next whole word.
  ExpectRequests(unit->requests(), expected::UpdateRequests(image));
  EXPECT_EQ(unit->flash(), expected::FlashAfterUpdate(image));
  EXPECT_EQ(clock.waits.size(), 6 + c.blockBytes.size());
  ExpectSucceeded();
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, ImageLengthTest,
    ::testing::Values(ImageCase{48, {48}, {100}},                   //
                      ImageCase{144, {48, 48, 48}, {33, 66, 100}},  // 48 x k: no final block
                      ImageCase{52, {48, 4}, {92, 100}},            // final block of 1 word
                      ImageCase{96 + 44, {48, 48, 44}, {34, 68, 100}},
                      ImageCase{50, {48, 4}, {96, 100}},          // 2 tail bytes: 1 word
                      ImageCase{49, {48, 4}, {97, 100}},          // 1 tail byte: 1 word
                      ImageCase{99, {48, 48, 4}, {48, 96, 100}},  // 3 tail bytes: 1 word
                      ImageCase{47, {48}, {100}},                 // shorter than one block
                      ImageCase{4, {4}, {100}},                   //
                      ImageCase{1, {4}, {100}}),
    [](const auto& info) { return "Bytes" + std::to_string(info.param.length); });

// A build without its image.
TEST_F(UpdateRunnerTest, MissingImageStartsNothingAndSaysWhy) {
  StartWithReadyUnit();

  runner().Run();

  ASSERT_EQ(view.messages.size(), 1u);
  EXPECT_EQ(view.messages[0].text, T(IDS_IMAGE_MISSING));
  EXPECT_EQ(view.messages[0].caption, T(IDS_UPDATE_FAILED));
  EXPECT_EQ(view.messages[0].icon, MessageIcon::Error);
  EXPECT_EQ(view.messages[0].buttons, MessageButtons::Ok);
  ExpectNothingStarted(T(IDS_READY));
}

TEST_F(UpdateRunnerTest, NoUnitReportsWithoutCodeLine) {
  UseImage(MakeTestImage(96));
  connection().ShowStartupState(link.Open());

  runner().Run();

  ASSERT_EQ(view.messages.size(), 1u);
  EXPECT_EQ(view.messages[0].text, T(IDS_UNIT_GONE));
  EXPECT_EQ(view.messages[0].caption, T(IDS_UPDATE_FAILED));
  EXPECT_EQ(view.messages[0].icon, MessageIcon::Error);
  EXPECT_EQ(view.hint, T(IDS_RETRY_HINT));
  EXPECT_TRUE(clock.waits.empty());
}

// ---- Confirmations ----

struct ConfirmCase {
  const char* name;
  std::uint16_t installed;
  std::vector<MessageAnswer> answers;
  bool asksVersion;
  bool runs;

  // Names the case in failure messages instead of dumping its bytes.
  friend void PrintTo(const ConfirmCase& c, std::ostream* out) { *out << c.name; }
};

const ConfirmCase kConfirmCases[] = {
    {"OlderCancelled", kOlder, {MessageAnswer::Cancel}, false, false},
    {"OlderConfirmed", kOlder, {MessageAnswer::Ok}, false, true},
    {"SameDeclined", kCarried, {MessageAnswer::Ok, MessageAnswer::No}, true, false},
    {"SameConfirmed", kCarried, {MessageAnswer::Ok, MessageAnswer::Yes}, true, true},
    {"SameCancelledAtTheWarning", kCarried, {MessageAnswer::Cancel}, false, false},
    {"NewerConfirmed", kNewer, {MessageAnswer::Ok, MessageAnswer::Yes}, true, true},
    {"NewestDeclined", 0xFFFE, {MessageAnswer::Ok, MessageAnswer::No}, true, false},
    {"NoVersion", 0xFFFF, {MessageAnswer::Ok}, false, true},
    {"Zero", 0x0000, {MessageAnswer::Ok}, false, true},
};

class ConfirmationTest : public UpdateRunnerTest,
                         public ::testing::WithParamInterface<ConfirmCase> {};

TEST_P(ConfirmationTest, AsksAndGoesOnOnlyWhenConfirmed) {
  const ConfirmCase& c = GetParam();
  UseImage(MakeTestImage(96));
  sim::UnitConfig config;
  config.escFirmwareVersion = c.installed;
  StartWithReadyUnit(config);
  for (MessageAnswer answer : c.answers) {
    view.Script({answer, {}});
  }

  runner().Run();

  ASSERT_EQ(view.messages.size(), c.answers.size());
  ExpectWarningBox(view.messages[0]);
  if (c.asksVersion) {
    EXPECT_EQ(view.messages[1].text, T(IDS_DOWNGRADE_TEXT));
    EXPECT_EQ(view.messages[1].caption, T(IDS_DOWNGRADE_CAPTION));
    EXPECT_EQ(view.messages[1].icon, MessageIcon::Warning);
    EXPECT_EQ(view.messages[1].buttons, MessageButtons::YesNo);
  }
  if (c.runs) {
    ExpectSucceeded();
  } else {
    ExpectNothingStarted(T(IDS_READY));
  }
}

INSTANTIATE_TEST_SUITE_P(Answers, ConfirmationTest, ::testing::ValuesIn(kConfirmCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Failures ----

std::vector<std::uint32_t> WaitsBeforeBlock(std::size_t block) {
  std::vector<std::uint32_t> waits = {20, 20, 1000, 4000, 20, 20};
  waits.insert(waits.end(), block - 1, 20);
  return waits;
}

// The waits the fake clock sees before the failure: the erase's settling wait only when the unit
// took the erase.
std::vector<std::uint32_t> WaitsBefore(const StageFailure& row) {
  switch (row.stage) {
    case UpdateStage::Lock:
      return {};
    case UpdateStage::OpenFlash:
      return {20};
    case UpdateStage::Erase:
      return row.RequestTaken() ? std::vector<std::uint32_t>{20, 20, 1000, 4000}
                                : std::vector<std::uint32_t>{20, 20, 4000};
    case UpdateStage::Address:
      return {20, 20, 1000, 4000, 20};
    case UpdateStage::Transfer:
      return WaitsBeforeBlock(row.Block(kCarriedImageBlocks));
  }
  return {};
}

// The simulated transport's OS error per fault; a reply that was read and judged carries none.
std::uint32_t OsErrorOf(sim::FaultKind fault) {
  switch (fault) {
    case sim::FaultKind::WriteFailure:
    case sim::FaultKind::ReadFailure:
      return sim::SIM_ERROR_GEN_FAILURE;
    case sim::FaultKind::Silent:
      return sim::SIM_ERROR_TIMEOUT;
    case sim::FaultKind::Vanish:
      return sim::SIM_ERROR_DEVICE_NOT_CONNECTED;
    case sim::FaultKind::Refuse:
    case sim::FaultKind::FailFlag:
      return 0;
  }
  return 0;
}

class FailureTest : public UpdateRunnerTest, public ::testing::WithParamInterface<StageFailure> {};

TEST_P(FailureTest, ReportsTheStageAndAbandonsTheUnit) {
  const StageFailure& c = GetParam();
  UseImage(MakeTestImage(kCarriedImageBytes));
  StartWithReadyUnit();
  unit->AddFault(c.Fault(kCarriedImageBlocks));

  runner().Run();

  ASSERT_EQ(view.messages.size(), 2u);
  ExpectWarningBox(view.messages[0]);
  const ShownMessage& box = view.messages[1];
  const std::wstring expectedText =
      c.result == RESULT_NO_DEVICE
          ? T(c.message)
          : T(c.message) + L"\nThe system shows following errorcode: 0x" +
                Hex8(static_cast<std::uint32_t>(c.result)) + L"-0x" + Hex8(OsErrorOf(c.fault));
  EXPECT_EQ(box.text, expectedText);
  EXPECT_EQ(box.caption, T(IDS_UPDATE_FAILED));
  EXPECT_EQ(box.icon, MessageIcon::Error);
  EXPECT_EQ(box.buttons, MessageButtons::Ok);
  // Nothing in the dialog changed before the failure.
  EXPECT_EQ(box.hintWhenShown, T(IDS_READY));

  EXPECT_EQ(view.hint, T(IDS_RETRY_HINT));
  EXPECT_EQ(view.updateEnabled, false);
  EXPECT_FALSE(link.IsOpen());
  EXPECT_EQ(transport.openHandles(), 0);
  EXPECT_EQ(PanelValues(), (std::vector<std::wstring>(3, L"0.0.0")));
  EXPECT_TRUE(PanelEnabled(false));

  const auto& requests = unit->requests();
  EXPECT_EQ(requests.size(), c.RequestsSent(kCarriedImageBlocks));
  EXPECT_TRUE(std::none_of(requests.begin(), requests.end(), IsClosingRequest));
  EXPECT_EQ(clock.waits, WaitsBefore(c));

  if (c.stage == UpdateStage::Transfer) {
    // The display is gone before the box comes up.
    const std::size_t blocksDone = c.Block(kCarriedImageBlocks) - 1;
    EXPECT_EQ(progress.titles.size(), 1u);
    EXPECT_EQ(progress.positions.size(), blocksDone);
    EXPECT_EQ(progress.closes, 1);
    const auto events =
        timeline.Merge(requests.size(), [](std::size_t) { return std::string("request"); });
    const auto close = std::find(events.begin(), events.end(), "progress close");
    const auto failureBox = std::find(close, events.end(), "message box");
    EXPECT_NE(failureBox, events.end());
    EXPECT_FALSE(progress.open);
  } else {
    EXPECT_TRUE(progress.titles.empty());
  }
}

INSTANTIATE_TEST_SUITE_P(Stages, FailureTest,
                         ::testing::ValuesIn(stage_failures::RowsFor(stage_failures::kDialog)),
                         [](const auto& info) { return info.param.Name(); });

// Another program talks to the unit: heard right before the update's first request (it began
// while the dialog sat idle with the unit open), or joining during the transfer. The update stops
// before its next request, says why, and never claims success over what was written.
struct OtherTalkerCase {
  const char* name;
  std::size_t fromRequest;  // 0: already talking when Update is pressed
  ResultCode result;
  std::size_t requestsSent;
};

class OtherTalkerTest : public UpdateRunnerTest,
                        public ::testing::WithParamInterface<OtherTalkerCase> {};

TEST_P(OtherTalkerTest, StopsBeforeTheNextRequestAndSaysAnotherProgramWrites) {
  const OtherTalkerCase& c = GetParam();
  UseImage(MakeTestImage(kCarriedImageBytes));
  StartWithReadyUnit();
  unit->StartOtherTalker(c.fromRequest);

  runner().Run();

  ASSERT_EQ(view.messages.size(), 2u);
  EXPECT_EQ(view.messages[1].text,
            T(IDS_OTHER_WRITER) + L"\nThe system shows following errorcode: 0x" +
                Hex8(static_cast<std::uint32_t>(c.result)) + L"-0x" + Hex8(0));
  EXPECT_NE(view.hint, T(IDS_SUCCESS));
  EXPECT_EQ(unit->requests().size(), c.requestsSent);
  EXPECT_TRUE(std::none_of(unit->requests().begin(), unit->requests().end(), IsClosingRequest));
}

INSTANTIATE_TEST_SUITE_P(
    Moments, OtherTalkerTest,
    ::testing::Values(OtherTalkerCase{"BeforeTheFirstRequest", 0, RESULT_BUSY, 0},
                      OtherTalkerCase{"WithTheErase", 3, RESULT_OTHER_WRITER, 3},
                      OtherTalkerCase{"DuringTheTransfer", 700, RESULT_OTHER_WRITER, 700}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(UpdateRunnerTest, RefusedBlockShowsItsCodeInGerman) {
  UseLanguage(Language::German);
  UseImage(MakeTestImage(480));
  StartWithReadyUnit();
  unit->AddFault({0x1B, 3, sim::FaultKind::Refuse, 5});

  runner().Run();

  ASSERT_EQ(view.messages.size(), 2u);
  EXPECT_EQ(view.messages[1].text, TableText(IDS_WRITE_BLOCK_FAILED, Language::German) +
                                       L"\nDas System meldet Fehlercode 0x00000005-0x00000000");
  EXPECT_EQ(view.messages[1].caption, TableText(IDS_UPDATE_FAILED, Language::German));
  EXPECT_EQ(view.hint, TableText(IDS_RETRY_HINT, Language::German));
}

// ---- Device events while a box of the update is open ----

struct RemovalCase {
  const char* name;
  std::uint16_t installed;
  std::size_t removeDuringBox;  // 0: the warning, 1: the version question

  // Names the case in failure messages instead of dumping its bytes.
  friend void PrintTo(const RemovalCase& c, std::ostream* out) { *out << c.name; }
};

class RemovalDuringBoxTest : public UpdateRunnerTest,
                             public ::testing::WithParamInterface<RemovalCase> {};

TEST_P(RemovalDuringBoxTest, StopsAtTheLockStageWithoutCodeLine) {
  const RemovalCase& c = GetParam();
  UseImage(MakeTestImage(96));
  sim::UnitConfig config;
  config.escFirmwareVersion = c.installed;
  StartWithReadyUnit(config);
  const auto remove = [this] {
    transport.Unplug(kUnitPath);
    connection().OnDeviceChange(Removal(kUnitPath));
    EXPECT_EQ(view.hint, Guidance(IDS_CONNECTION_LOST));
  };
  if (c.removeDuringBox == 0) {
    view.Script({MessageAnswer::Ok, remove});
  } else {
    view.Script({MessageAnswer::Ok, {}});
    view.Script({MessageAnswer::Yes, remove});
  }

  runner().Run();

  // The closed link reads version 0, so no version question follows a removal at the warning.
  ASSERT_EQ(view.messages.size(), c.removeDuringBox + 2);
  const ShownMessage& box = view.messages.back();
  EXPECT_EQ(box.text, T(IDS_LOCK_FAILED));
  EXPECT_EQ(box.caption, T(IDS_UPDATE_FAILED));
  EXPECT_EQ(box.icon, MessageIcon::Error);
  EXPECT_TRUE(unit->requests().empty());
  EXPECT_TRUE(clock.waits.empty());
  EXPECT_EQ(view.hint, T(IDS_RETRY_HINT));
  EXPECT_EQ(view.updateEnabled, false);
}

INSTANTIATE_TEST_SUITE_P(Boxes, RemovalDuringBoxTest,
                         ::testing::Values(RemovalCase{"Warning", kCarried, 0},
                                           RemovalCase{"VersionQuestion", kCarried, 1},
                                           RemovalCase{"WarningOlderFirmware", 0x0100, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(UpdateRunnerTest, UnitArrivingDuringTheWarningIsTheOneUpdated) {
  UseImage(MakeTestImage(480));
  StartWithReadyUnit();
  const auto first = unit;
  std::shared_ptr<sim::SimulatedUnit> second;
  view.Script({MessageAnswer::Ok, [&] {
                 transport.Unplug(kUnitPath);
                 connection().OnDeviceChange(Removal(kUnitPath));
                 sim::UnitConfig config;
                 config.escFirmwareVersion = kCarried;
                 second = Plug(kOtherPath, config);
                 connection().OnDeviceChange(Arrival(kOtherPath));
                 unit = second;
               }});

  runner().Run();

  // The unit that arrived has the carried version installed, so the version question comes up for
  // it.
  ASSERT_EQ(view.messages.size(), 2u);
  EXPECT_EQ(view.messages[1].text, T(IDS_DOWNGRADE_TEXT));
  EXPECT_TRUE(first->requests().empty());
  EXPECT_EQ(second->flash(), image);
  EXPECT_EQ(link.devicePath(), kOtherPath);
  ExpectSucceeded();
}

TEST_F(UpdateRunnerTest, ArrivalDuringTheFailureBoxLeavesUpdateEnabledUnderTheRetryHint) {
  UseImage(MakeTestImage(96));
  StartWithReadyUnit();
  unit->AddFault({0x0B, 1, sim::FaultKind::FailFlag, 0, 0x00});
  view.Script({MessageAnswer::Ok, {}});
  view.Script({MessageAnswer::Ok, [&] {
                 EXPECT_FALSE(link.IsOpen());
                 connection().OnDeviceChange(Arrival(kUnitPath));
                 EXPECT_EQ(view.hint, T(IDS_READY));
                 EXPECT_EQ(view.updateEnabled, true);
               }});

  runner().Run();

  ASSERT_EQ(view.messages.size(), 2u);
  EXPECT_EQ(view.messages[1].text,
            T(IDS_LOCK_FAILED) + L"\nThe system shows following errorcode: 0x0000065b-0x00000000");
  EXPECT_EQ(view.hint, T(IDS_RETRY_HINT));
  EXPECT_EQ(view.updateEnabled, true);
  EXPECT_TRUE(link.IsOpen());
  // Only the failed lock request was sent before the unit was opened again.
  EXPECT_TRUE(std::none_of(unit->requests().begin(), unit->requests().end(), IsClosingRequest));
}

}  // namespace

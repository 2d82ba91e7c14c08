#include <gtest/gtest.h>

#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "build_facts.h"
#include "sim/sim_transport.h"
#include "tests/cli/cli_fixture.h"
#include "tests/support/expected_requests.h"
#include "tests/support/stage_failures.h"
#include "tests/support/test_image.h"
#include "texts/message_format.h"
#include "update/firmware_package.h"
#include "update/sha256.h"

namespace {

// The version the build carries and its neighbours, for the version question's boundary.
constexpr std::uint16_t kCarried = build_facts::kVersionWord;
constexpr std::uint16_t kOlder = kCarried - 1;
constexpr std::uint16_t kNewer = kCarried + 1;

using sim::Fault;
using sim::FaultKind;
using sim::UnitConfig;
using sim_units::With;

constexpr std::size_t kIdentifyRequests = 3;
constexpr std::size_t kImageBytes = 1000;  // the image these tests carry unless one says
constexpr std::uint32_t kImageBlocks = (kImageBytes + 47) / 48;

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class UpdateTest : public CliTest {
 protected:
  UpdateTest() { UseImage(MakeTestImage(kImageBytes)); }

  // The image the build carries, with the digest the build recorded for it.
  void UseImage(std::vector<std::uint8_t> bytes) {
    image = std::move(bytes);
    digest = Sha256Of(image);
  }

  // The requests after identification.
  std::vector<sim::RecordedRequest> UpdateRequests(const sim::SimulatedUnit& unit) const {
    const auto& all = unit.requests();
    return {all.begin() + static_cast<std::ptrdiff_t>(std::min(kIdentifyRequests, all.size())),
            all.end()};
  }

  void ExpectWholeUpdate(const sim::SimulatedUnit& unit) {
    const auto requests = UpdateRequests(unit);
    const auto patterns = expected::UpdateRequests(image);
    ASSERT_EQ(requests.size(), patterns.size());
    for (std::size_t i = 0; i < requests.size(); ++i) {
      EXPECT_EQ(expected::Mismatch(patterns[i], requests[i].bytes), "") << "request " << i;
    }
    EXPECT_EQ(unit.flash(), expected::FlashAfterUpdate(image));
  }
};

TEST_F(UpdateTest, YesRunsTheWholeUpdateAndEndsWithTheSuccessText) {
  UseImage(MakeTestImage(97744));
  auto unit = Plug("/dev/hidraw1");

  EXPECT_EQ(Run({"update", "--yes"}), 0);
  ExpectWholeUpdate(*unit);
  // The output carries the results: the unit and the success.
  EXPECT_EQ(console.out, "/dev/hidraw1  MAVIRA 1.2  ESC-bootloader 1.5  ESC 3.2  ready\n\n" +
                             T(IDS_SUCCESS) + "\n");
  // The conversation and the progress go to the error stream.
  EXPECT_EQ(console.err, "\n" + T(IDS_NOTE_CAPTION) + "\n" + T(IDS_NOTE_TEXT) +
                             "\nContinue? (y/n) yes (--yes)\n\n" + T(IDS_TRANSFER_RUNNING) + "\n" +
                             // Not a terminal: a line at every tenth of the way.
                             " 10%  204/2037 blocks  0:00 elapsed  0:00 left\n"
                             " 20%  408/2037 blocks  0:00 elapsed  0:00 left\n"
                             " 30%  611/2037 blocks  0:00 elapsed  0:00 left\n"
                             " 40%  815/2037 blocks  0:00 elapsed  0:00 left\n"
                             " 50%  1019/2037 blocks  0:00 elapsed  0:00 left\n"
                             " 60%  1222/2037 blocks  0:00 elapsed  0:00 left\n"
                             " 70%  1426/2037 blocks  0:00 elapsed  0:00 left\n"
                             " 80%  1630/2037 blocks  0:00 elapsed  0:00 left\n"
                             " 90%  1833/2037 blocks  0:00 elapsed  0:00 left\n"
                             "100%  2037/2037 blocks  0:00 elapsed\n");
  EXPECT_EQ(shield.raised, 1);
  EXPECT_EQ(shield.lowered, 1);
}

struct AnswerCase {
  const char* name;
  std::uint16_t installed;  // the ESC's firmware version
  std::vector<std::string> typed;
  int status;
  int prompts;          // how often the prompt was shown
  bool secondQuestion;  // whether the version question was asked
};

class AnswerTest : public UpdateTest, public ::testing::WithParamInterface<AnswerCase> {};

TEST_P(AnswerTest, OnlyYesToEveryQuestionStartsTheUpdate) {
  const AnswerCase& c = GetParam();
  UnitConfig config;
  config.escFirmwareVersion = c.installed;
  auto unit = Plug("/dev/hidraw1", config);
  console.inputIsTerminal = true;
  console.input.assign(c.typed.begin(), c.typed.end());

  EXPECT_EQ(Run({"update"}), c.status);
  int prompts = 0;
  for (std::size_t at = 0; (at = console.err.find("Continue? (y/n) ", at)) != std::string::npos;
       ++at) {
    ++prompts;
  }
  EXPECT_EQ(prompts, c.prompts);
  EXPECT_EQ(Contains(console.err, T(IDS_DOWNGRADE_TEXT)), c.secondQuestion);
  if (c.status == 0) {
    ExpectWholeUpdate(*unit);
  } else {
    EXPECT_TRUE(UpdateRequests(*unit).empty()) << "nothing is sent before both answers";
    EXPECT_TRUE(Contains(console.err, T(IDS_CLI_DECLINED)));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Answers, AnswerTest,
    ::testing::Values(AnswerCase{"Yes", kOlder, {"y"}, 0, 1, false},
                      AnswerCase{"YesWord", kOlder, {" YES "}, 0, 1, false},
                      AnswerCase{"No", kOlder, {"n"}, 6, 1, false},
                      AnswerCase{"OtherLanguagesYes", kOlder, {"Ja"}, 0, 1, false},
                      AnswerCase{"OtherLanguagesNo", kOlder, {"nein"}, 6, 1, false},
                      AnswerCase{
                          "AskedAgainUntilAnswered", kOlder, {"", "maybe", "y"}, 0, 3, false},
                      AnswerCase{"EndOfInputIsNo", kOlder, {}, 6, 1, false},
                      AnswerCase{"SameVersionAsksTwiceYes", kCarried, {"y", "y"}, 0, 2, true},
                      AnswerCase{"SameVersionSecondNo", kCarried, {"y", "n"}, 6, 2, true},
                      AnswerCase{"NewerFirstNoAsksNothingMore", kNewer, {"n"}, 6, 1, false},
                      AnswerCase{"NoVersionAsksOnce", 0xFFFF, {"y"}, 0, 1, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(UpdateTest, WithoutATerminalItRefusesRatherThanWait) {
  auto unit = Plug("/dev/hidraw1");
  console.inputIsTerminal = false;
  EXPECT_EQ(Run({"update"}), 6);
  EXPECT_TRUE(console.err.ends_with(T(IDS_NOTE_TEXT) + "\n" + T(IDS_CLI_NEEDS_TERMINAL) + "\n"))
      << console.err;
  EXPECT_TRUE(UpdateRequests(*unit).empty());
}

TEST_F(UpdateTest, GermanUserAnswersJa) {
  UseLanguage(Language::German);
  auto unit = Plug("/dev/hidraw1");
  console.inputIsTerminal = true;
  console.input = {"ja"};
  EXPECT_EQ(Run({"update"}), 0);
  EXPECT_TRUE(Contains(console.err, T(IDS_NOTE_TEXT) + "\nFortfahren? (j/n) ja\n"));
  EXPECT_TRUE(Contains(console.err,
                       "Bl\xC3\xB6"
                       "cke"));
  EXPECT_TRUE(Contains(console.out, T(IDS_SUCCESS)));
  ExpectWholeUpdate(*unit);
}

std::string Hex8(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%08x", value);
  return text;
}

// The simulated transport's OS error per fault; a reply that was read and judged carries none.
std::uint32_t OsErrorOf(FaultKind fault) {
  switch (fault) {
    case FaultKind::WriteFailure:
    case FaultKind::ReadFailure:
      return sim::SIM_ERROR_GEN_FAILURE;
    case FaultKind::Silent:
      return sim::SIM_ERROR_TIMEOUT;
    case FaultKind::Vanish:
      return sim::SIM_ERROR_DEVICE_NOT_CONNECTED;
    case FaultKind::Refuse:
    case FaultKind::FailFlag:
      return 0;
  }
  return 0;
}

class StageFailureTest : public UpdateTest,
                         public ::testing::WithParamInterface<stage_failures::StageFailure> {};

TEST_P(StageFailureTest, EndsWithTheErrorBoxTextAndTheStagesStatus) {
  const stage_failures::StageFailure& c = GetParam();
  auto unit = Plug("/dev/hidraw1");
  unit->AddFault(c.Fault(kImageBlocks));

  EXPECT_EQ(Run({"update", "--yes"}), c.exitStatus);
  std::string box = T(c.message);
  // A result of -1 reads as "no unit": the box has no code line then.
  if (c.result != RESULT_NO_DEVICE) {
    box += "\nThe system shows following errorcode: 0x" +
           Hex8(static_cast<std::uint32_t>(c.result)) + "-0x" + Hex8(OsErrorOf(c.fault));
  }
  EXPECT_TRUE(console.err.ends_with("\n" + T(IDS_UPDATE_FAILED) + "\n" + box + "\n\n" +
                                    T(IDS_RETRY_HINT) + "\n"))
      << console.err;
  EXPECT_FALSE(Contains(console.out, T(IDS_SUCCESS)));
  EXPECT_EQ(transport.openHandles(), 0) << "the unit is abandoned";
  EXPECT_EQ(UpdateRequests(*unit).size(), c.RequestsSent(kImageBlocks));
  EXPECT_FALSE(unit->requests().back().bytes[1] == 0x0B && unit->requests().back().bytes[3] == 0)
      << "no closing pair after a failure";
}

INSTANTIATE_TEST_SUITE_P(Stages, StageFailureTest,
                         ::testing::ValuesIn(stage_failures::RowsFor(stage_failures::kCommandLine)),
                         [](const auto& info) { return info.param.Name(); });

TEST_F(UpdateTest, StoppedByTheUserSendsNothingMore) {
  auto unit = Plug("/dev/hidraw1");
  shield.stopAtQuestion = 10;  // the four stages, then before the sixth block

  EXPECT_EQ(Run({"update", "--yes"}), 15);
  EXPECT_TRUE(console.err.ends_with("\n" + T(IDS_CLI_INTERRUPTED) + "\n")) << console.err;
  EXPECT_EQ(UpdateRequests(*unit).size(), 4u + 5u) << "four stages, five blocks, no closing pair";
  EXPECT_EQ(shield.lowered, 1);
  EXPECT_EQ(transport.openHandles(), 0);
}

// The unit is flashed (or fails) whatever becomes of the result lines; a lost line is said on the
// error stream, and the status stays the update's.
TEST_F(UpdateTest, ALostResultLineIsSaidAndTheStatusStaysTheUpdates) {
  struct LostCase {
    const char* name;
    std::vector<Fault> faults;
    int status;
  };
  for (const LostCase& c :
       {LostCase{"Success", {}, 0}, LostCase{"LockFailed", {{0x0B, 1, FaultKind::FailFlag}}, 10}}) {
    SCOPED_TRACE(c.name);
    transport.Unplug("/dev/hidraw1");
    auto unit = Plug("/dev/hidraw1");
    for (const Fault& fault : c.faults) {
      unit->AddFault(fault);
    }
    console = RecordingConsole{};
    console.outputFails = true;
    EXPECT_EQ(Run({"update", "--yes"}), c.status);
    EXPECT_TRUE(console.err.ends_with(
        "pelora-update: the output could not be written (No space left on device).\n"))
        << console.err;
    if (c.status == 0) {
      ExpectWholeUpdate(*unit);
    }
  }
}

struct NotReadyCase {
  const char* name;
  UnitConfig config;
  std::vector<MessageId> guidance;
};

class NotReadyTest : public UpdateTest, public ::testing::WithParamInterface<NotReadyCase> {};

TEST_P(NotReadyTest, ShowsTheDialogsGuidanceAndSendsNoUpdate) {
  const NotReadyCase& c = GetParam();
  auto unit = Plug("/dev/hidraw1", c.config);
  EXPECT_EQ(Run({"update", "--yes"}), 5);
  for (MessageId id : c.guidance) {
    EXPECT_TRUE(Contains(console.err, T(id))) << id;
  }
  EXPECT_TRUE(Contains(console.err, T(IDS_CLI_INSTRUCTIONS)));
  EXPECT_TRUE(UpdateRequests(*unit).empty());
}

INSTANTIATE_TEST_SUITE_P(
    States, NotReadyTest,
    ::testing::Values(
        NotReadyCase{"WrongMode", With([](UnitConfig& c) { c.unitMode = 2; }), {IDS_WRONG_MODE}},
        NotReadyCase{"NoEsc", With([](UnitConfig& c) { c.escState = 1; }), {IDS_NO_ESC}},
        NotReadyCase{"IncompatibleEsc",
                     With([](UnitConfig& c) { c.escTypeId = 0x0A06405B; }),
                     {IDS_INCOMPATIBLE_CAPTION, IDS_INCOMPATIBLE_HINT}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(UpdateTest, IncompatibleEscNamesTheSupportedModel) {
  UnitConfig config;
  config.escTypeId = 0x12345678;
  Plug("/dev/hidraw1", config);
  EXPECT_EQ(Run({"update"}), 5);
  EXPECT_TRUE(Contains(
      console.err, Utf8FromWide(FormatWithText(texts->Text(IDS_INCOMPATIBLE_TEXT), L"PELORA"))));
}

TEST_F(UpdateTest, AUnitThatDoesNotAnswerIsNotReadyWithItsNumbers) {
  auto unit = Plug("/dev/hidraw1");
  unit->AddFault({0x1D, 1, FaultKind::ReadFailure});
  EXPECT_EQ(Run({"update", "--yes"}), 5);
  EXPECT_EQ(console.err, T(IDS_CLI_IDENTIFY_FAILED) +
                             "\nThe system shows following errorcode: 0xfffffffd-0x0000001f\n");
}

TEST_F(UpdateTest, NoUnitGivesTheDialogsGuidance) {
  EXPECT_EQ(Run({"update", "--yes"}), 3);
  EXPECT_EQ(console.err, T(IDS_NO_UNIT) + "\n\n" + T(IDS_CLI_INSTRUCTIONS) + "\n");
}

TEST_F(UpdateTest, DeniedAccessNamesTheNodeAndTheRule) {
  Plug("/dev/hidraw7");
  transport.devices()[0].plan.accessDenied = true;
  EXPECT_EQ(Run({"update", "--yes"}), 4);
  EXPECT_TRUE(Contains(console.err, "/dev/hidraw7"));
  EXPECT_TRUE(Contains(console.err, "(how to get access)"));
  EXPECT_FALSE(Contains(console.err, T(IDS_NO_UNIT)));
}

TEST_F(UpdateTest, DeviceChoosesAmongTwoUnits) {
  auto first = Plug("/dev/hidraw1");
  auto second = Plug("/dev/hidraw2", {}, 1);
  EXPECT_EQ(Run({"update", "--yes", "--device", "/dev/hidraw2"}), 0);
  EXPECT_TRUE(first->requests().empty()) << "the other unit is never touched";
  ExpectWholeUpdate(*second);
  EXPECT_TRUE(Contains(console.out, "/dev/hidraw2  TORVEX"));
}

// udev rules often add a symlink to the node; a doubled slash or a dot is the same node too.
TEST_F(UpdateTest, DeviceNamesTheNodeHoweverItIsSpelled) {
  char folderName[] = "/tmp/pelora-nodes-XXXXXX";
  ASSERT_NE(mkdtemp(folderName), nullptr);
  const std::filesystem::path folder = folderName;
  std::ofstream(folder / "hidraw1").put('\0');
  std::ofstream(folder / "hidraw2").put('\0');
  std::filesystem::create_symlink("hidraw2", folder / "pelora-unit");
  auto first = Plug((folder / "hidraw1").string());
  auto second = Plug((folder / "hidraw2").string(), {}, 1);
  for (const std::string& spelling :
       {folder.string() + "/pelora-unit", folder.string() + "//hidraw2",
        folder.string() + "/./hidraw2",
        folder.string() + "/../" + folder.filename().string() + "/hidraw2"}) {
    SCOPED_TRACE(spelling);
    console = RecordingConsole{};
    EXPECT_EQ(Run({"update", "--yes", "--device", spelling}), 0) << console.err;
    EXPECT_TRUE(Contains(console.out, (folder / "hidraw2").string() + "  TORVEX"));
  }
  EXPECT_TRUE(first->requests().empty()) << "the other unit is never touched";
  console = RecordingConsole{};
  EXPECT_EQ(Run({"update", "--yes", "--device", folder.string() + "/hidraw3"}), 3);
  std::filesystem::remove_all(folder);
}

TEST_F(UpdateTest, SeveralUnitsWithoutDeviceAreListedAndNoneIsUpdated) {
  auto first = Plug("/dev/hidraw1");
  UnitConfig wrongMode;
  wrongMode.unitMode = 1;
  auto second = Plug("/dev/hidraw2", wrongMode, 1);
  EXPECT_EQ(Run({"update", "--yes"}), 2);
  EXPECT_EQ(console.err, T(IDS_CLI_CHOOSE_DEVICE) +
                             "\n  /dev/hidraw1  MAVIRA 1.2  ESC-bootloader 1.5  ESC 3.2  ready\n"
                             "  /dev/hidraw2  TORVEX 1.2  ESC-bootloader unknown  ESC unknown  "
                             "wrong mode\n");
  EXPECT_TRUE(UpdateRequests(*first).empty());
  EXPECT_TRUE(UpdateRequests(*second).empty());
  EXPECT_EQ(console.out, "");
}

TEST_F(UpdateTest, ABusyUnitIsRefusedBeforeAnythingIsSent) {
  auto unit = Plug("/dev/hidraw1");
  claims.busy = {"/dev/hidraw1"};
  EXPECT_EQ(Run({"update", "--yes"}), 8);
  EXPECT_EQ(console.err,
            Utf8FromWide(FormatWithText(texts->Text(IDS_CLI_UNIT_BUSY), L"/dev/hidraw1")) + "\n");
  EXPECT_TRUE(unit->requests().empty()) << "not even an identification";
  EXPECT_EQ(transport.openHandles(), 0);
}

TEST_F(UpdateTest, TheClaimIsHeldFromBeforeIdentificationToTheEnd) {
  auto unit = Plug("/dev/hidraw1");
  EXPECT_EQ(Run({"update", "--yes"}), 0);
  EXPECT_EQ(claims.claimed, 1);
  EXPECT_EQ(transport.openHandles(), 0);
}

TEST_F(UpdateTest, DeviceThatIsNoUnitIsRefused) {
  Plug("/dev/hidraw1");
  EXPECT_EQ(Run({"update", "--yes", "--device", "/dev/hidraw9"}), 3);
  EXPECT_EQ(console.err, "There is no programming unit at /dev/hidraw9.\n");
}

TEST_F(UpdateTest, WithoutAnIntactImageNothingIsAskedOrSent) {
  const struct {
    const char* name;
    void (*damage)(std::vector<std::uint8_t>&);
    MessageId message;
  } cases[] = {
      {"missing", [](std::vector<std::uint8_t>& bytes) { bytes.clear(); }, IDS_IMAGE_MISSING},
      {"one byte changed", [](std::vector<std::uint8_t>& bytes) { bytes[500] ^= 0x04; },
       IDS_IMAGE_DAMAGED},
  };
  auto unit = Plug("/dev/hidraw1");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    console.out.clear();
    console.err.clear();
    unit->ClearRequests();
    UseImage(MakeTestImage(1000));
    c.damage(image);  // after the build recorded its digest
    EXPECT_EQ(Run({"update", "--yes"}), 7);
    EXPECT_EQ(console.err, T(c.message) + "\n");
    EXPECT_FALSE(Contains(console.out, T(IDS_NOTE_TEXT)));
    EXPECT_TRUE(UpdateRequests(*unit).empty());
  }
}

TEST_F(UpdateTest, UsageErrorsSayWhatIsWrong) {
  EXPECT_EQ(Run({"update", "--wait", "soon"}), 2);
  EXPECT_EQ(console.err,
            "--wait takes a whole number of seconds from 0 to 86400, not soon.\n"
            "Try 'pelora-update --help'.\n");
}

TEST_F(UpdateTest, HelpAndVersion) {
  EXPECT_EQ(Run({"--help"}), 0);
  EXPECT_EQ(console.out, T(IDS_CLI_HELP) + "\n\n" + T(IDS_CLI_HELP_EXIT_STATUS) + "\n\n" +
                             T(IDS_CLI_HELP_MORE) + "\n");
  console.out.clear();
  EXPECT_EQ(Run({"--version"}), 0);
  EXPECT_TRUE(
      console.out.starts_with("pelora-update " + std::string(build_facts::kVersionText) + "\n"))
      << console.out;
}

}  // namespace

#include <gtest/gtest.h>

#include <algorithm>

#include <nlohmann/json.hpp>
#include <string>

#include "build_facts.h"
#include "tests/cli/cli_fixture.h"

namespace {

using sim::UnitConfig;

class ListTest : public CliTest {};

TEST_F(ListTest, ShowsEveryUnitWithItsVersionsAndState) {
  Plug("/dev/hidraw1", {}, 1);
  UnitConfig wrongMode;
  wrongMode.unitMode = 1;
  wrongMode.unitVersion = 0x00000203;
  Plug("/dev/hidraw2", wrongMode);
  UnitConfig noEsc;
  noEsc.escState = 0;
  Plug("/dev/hidraw3", noEsc);
  UnitConfig otherEsc;
  otherEsc.escTypeId = 0x12345678;
  otherEsc.escFirmwareVersion = 0xFFFF;
  Plug("/dev/hidraw4", otherEsc);
  sim::DevicePlan keyboard;
  keyboard.vendorId = 0x046D;
  keyboard.isUnit = false;
  transport.Plug("/dev/hidraw0", keyboard);
  std::rotate(transport.devices().begin(), transport.devices().end() - 1,
              transport.devices().end());  // listed first

  EXPECT_EQ(Run({"list"}), 0);
  EXPECT_EQ(console.out,
            "/dev/hidraw1  TORVEX 1.2  ESC-bootloader 1.5  ESC 3.2  ready\n"
            "/dev/hidraw2  MAVIRA 2.3  ESC-bootloader unknown  ESC unknown  wrong mode\n"
            "/dev/hidraw3  MAVIRA 1.2  ESC-bootloader unknown  ESC unknown  no updatable ESC\n"
            "/dev/hidraw4  MAVIRA 1.2  ESC-bootloader 1.5  ESC ----------  ESC incompatible\n");
  EXPECT_EQ(console.err, "");
  EXPECT_EQ(transport.openHandles(), 0) << "every unit is closed again";
}

TEST_F(ListTest, SpeaksGermanWithTheDialogsGermanLabels) {
  UseLanguage(Language::German);
  Plug("/dev/hidraw1");
  EXPECT_EQ(Run({"list"}), 0);
  EXPECT_EQ(console.out, "/dev/hidraw1  MAVIRA 1.2  Regler-Bootloader 1.5  Regler 3.2  bereit\n");
}

TEST_F(ListTest, JsonCarriesTheSameForScriptsAndAlwaysParses) {
  standin = true;
  Plug("/dev/hidraw1", {}, 1);
  auto silent = Plug("/dev/hidraw2");
  silent->AddFault({0x08, 1, sim::FaultKind::ReadFailure});
  UnitConfig wrongMode;
  wrongMode.unitMode = 1;
  Plug("/dev/hidraw3", wrongMode);
  Plug("/dev/hidraw4");
  claims.busy = {"/dev/hidraw4"};
  // A path is bytes from the system, not necessarily text.
  Plug("/dev/odd\"name\\\x01\xff");

  EXPECT_EQ(Run({"list", "--json"}), 0);
  EXPECT_EQ(console.err, "") << "nothing but the JSON on the output, nothing else at all";
  const nlohmann::json units = nlohmann::json::parse(console.out);  // throws if it does not parse
  ASSERT_EQ(units.size(), 5u);
  const struct {
    const char* state;
    nlohmann::json unitVersion, bootloaderVersion, escVersion;
    bool offered;
  } expected[] = {
      {"ready", "1.2", "1.5", "3.2", true},
      {"no-answer", nullptr, nullptr, nullptr, false},
      {"wrong-mode", "1.2", nullptr, nullptr, false},
      {"busy", nullptr, nullptr, nullptr, false},
      {"ready", "1.2", "1.5", "3.2", true},
  };
  for (std::size_t i = 0; i < units.size(); ++i) {
    SCOPED_TRACE(i);
    const nlohmann::json& unit = units[i];
    EXPECT_EQ(unit["state"], expected[i].state);
    EXPECT_EQ(unit["unitVersion"], expected[i].unitVersion);
    EXPECT_EQ(unit["bootloaderVersion"], expected[i].bootloaderVersion);
    EXPECT_EQ(unit["escVersion"], expected[i].escVersion);
    EXPECT_EQ(unit["updateOffered"], expected[i].offered);
    EXPECT_EQ(unit["carriedVersion"], build_facts::kVersionText);
    EXPECT_EQ(unit["carriedImageIsStandin"], true);  // the fixture says so above
  }
  EXPECT_EQ(units[0]["path"], "/dev/hidraw1");
  EXPECT_EQ(units[0]["unit"], "TORVEX");
  EXPECT_EQ(units[0]["message"], T(IDS_CLI_READY));
  EXPECT_EQ(units[1]["result"], -3);
  EXPECT_EQ(units[1]["osError"], 31);
  EXPECT_EQ(
      units[1]["message"],
      T(IDS_CLI_IDENTIFY_FAILED) + "\nThe system shows following errorcode: 0xfffffffd-0x0000001f");
  EXPECT_EQ(units[4]["path"], "/dev/odd\"name\\\x01\xef\xbf\xbd") << "invalid UTF-8 replaced";
}

TEST_F(ListTest, NoUnitIsExitStatusThreeWithAnEmptyListAndTheInstructions) {
  EXPECT_EQ(Run({"list", "--json"}), 3);
  EXPECT_EQ(console.out, "[]\n");
  EXPECT_EQ(console.err, "");
  EXPECT_EQ(Run({"list"}), 3);
  EXPECT_EQ(console.err, T(IDS_NO_UNIT) + "\n\n" + T(IDS_CLI_INSTRUCTIONS) + "\n");
}

TEST_F(ListTest, ABusyUnitIsShownBusyAndSentNothing) {
  auto busy = Plug("/dev/hidraw1");
  claims.busy = {"/dev/hidraw1"};
  EXPECT_EQ(Run({"list"}), 8);
  EXPECT_EQ(console.out, "/dev/hidraw1  MAVIRA  busy\n");
  EXPECT_TRUE(busy->requests().empty()) << "not even an identification";
  EXPECT_EQ(transport.openHandles(), 0);
}

TEST_F(ListTest, AFailedOutputIsAnErrorForListVersionAndHelp) {
  Plug("/dev/hidraw1");
  console.outputFails = true;
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"list"}, {"list", "--json"}, {"--version"}, {"--help"}}) {
    SCOPED_TRACE(args.front() + (args.size() > 1 ? " " + args[1] : ""));
    console.err.clear();
    EXPECT_EQ(Run(args), 9);
    EXPECT_EQ(console.err,
              "pelora-update: the output could not be written (No space left on device).\n");
  }
}

TEST_F(ListTest, VersionSaysWhenTheBuildCarriesTheStandIn) {
  EXPECT_EQ(Run({"--version"}), 0);
  EXPECT_FALSE(console.out.find(T(IDS_CLI_STANDIN_IMAGE)) != std::string::npos);
  standin = true;
  console.out.clear();
  EXPECT_EQ(Run({"--version"}), 0);
  EXPECT_TRUE(console.out.ends_with("\n" + T(IDS_CLI_STANDIN_IMAGE) + "\n")) << console.out;
}

TEST_F(ListTest, AUnitThisUserMayNotOpenIsNamedWithTheRuleThatHelps) {
  Plug("/dev/hidraw5");
  transport.devices()[0].plan.accessDenied = true;

  EXPECT_EQ(Run({"list"}), 4);
  EXPECT_EQ(console.out, "/dev/hidraw5  MAVIRA  permission denied\n");
  EXPECT_NE(console.err.find("/dev/hidraw5"), std::string::npos);
  EXPECT_NE(console.err.find("(how to get access)"), std::string::npos);
}

// A clock whose waits plug a device in once two seconds have passed.
struct PluggingClock : NoWaitClock {
  std::function<void()> atTwoSeconds;
  void Wait(std::uint32_t ms) override {
    const bool before = nowMs < 2000;
    NoWaitClock::Wait(ms);
    if (before && nowMs >= 2000 && atTwoSeconds) {
      atTwoSeconds();
    }
  }
};

TEST_F(ListTest, WaitsBoundedForAUnitPluggedInLater) {
  Plug("/dev/hidraw1");
  const sim::SimDevice device = transport.devices().back();
  transport.devices().clear();
  PluggingClock clock;
  clock.atTwoSeconds = [&] { transport.devices().push_back(device); };
  CliContext context{textConsole, *texts, bus,     claiming, clock,     shield,   {},
                     false,       access, *system, {},       wallClock, *records, recordPath};

  EXPECT_EQ(RunCommandLine({"list", "--wait", "5"}, context), 0);
  EXPECT_EQ(clock.nowMs, 2000u) << "the wait ends when the unit is there";
  EXPECT_NE(console.err.find("Waiting up to 5 seconds for a programming unit...\n"),
            std::string::npos)
      << "said on the error stream, the output carries results alone";
  EXPECT_NE(console.out.find("/dev/hidraw1  MAVIRA 1.2"), std::string::npos);

  transport.devices().clear();
  clock.atTwoSeconds = nullptr;
  clock.nowMs = 0;
  EXPECT_EQ(RunCommandLine({"list", "--wait", "3"}, context), 3);
  EXPECT_EQ(clock.nowMs, 3000u) << "the wait is bounded";
}

}  // namespace

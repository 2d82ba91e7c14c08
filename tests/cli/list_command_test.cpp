#include <gtest/gtest.h>

#include <string>

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
  sim::SimDevice keyboard;
  keyboard.path = "/dev/hidraw0";
  keyboard.vendorId = 0x046D;
  transport.devices().insert(transport.devices().begin(), keyboard);

  EXPECT_EQ(Run({"list"}), 0);
  EXPECT_EQ(console.out,
            "/dev/hidraw1  TORVEX 1.2  ESC-bootloader 1.5  ESC 3.2  ready\n"
            "/dev/hidraw2  MAVIRA 2.3  ESC-bootloader 0.0  ESC 0.0  wrong mode\n"
            "/dev/hidraw3  MAVIRA 1.2  ESC-bootloader 0.0  ESC 0.0  no updatable ESC\n"
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

TEST_F(ListTest, JsonCarriesTheSameForScripts) {
  Plug("/dev/hidraw1", {}, 1);
  auto silent = Plug("/dev/hidraw2");
  silent->AddFault({0x08, 1, sim::FaultKind::ReadFailure});

  EXPECT_EQ(Run({"list", "--json"}), 0);
  const std::string readyMessage = T(IDS_CLI_READY);
  std::string escapedReady;
  for (char c : readyMessage) {
    escapedReady += c == '\n' ? std::string("\\n") : std::string(1, c);
  }
  EXPECT_EQ(console.out,
            "[\n"
            "  {\"path\": \"/dev/hidraw1\", \"unit\": \"TORVEX\", \"productId\": 1, "
            "\"unitVersion\": \"1.2\", \"bootloaderVersion\": \"1.5\", \"escVersion\": \"3.2\", "
            "\"state\": \"ready\", \"message\": \"" +
                escapedReady +
                "\"},\n"
                "  {\"path\": \"/dev/hidraw2\", \"unit\": \"MAVIRA\", \"productId\": 2, "
                "\"unitVersion\": null, \"bootloaderVersion\": null, \"escVersion\": null, "
                "\"state\": \"no-answer\", \"result\": -3, \"osError\": 31, \"message\": \"" +
                T(IDS_CLI_IDENTIFY_FAILED) +
                "\\nThe system shows following errorcode: 0xfffffffd-0x0000001f\"}\n"
                "]\n");
}

TEST_F(ListTest, NoUnitIsExitStatusThreeWithAnEmptyList) {
  EXPECT_EQ(Run({"list", "--json"}), 3);
  EXPECT_EQ(console.out, "[]\n");
  EXPECT_EQ(Run({"list"}), 3);
  EXPECT_EQ(console.err, T(IDS_NO_UNIT) + "\n");
}

TEST_F(ListTest, AUnitThisUserMayNotOpenIsNamedWithTheRuleThatHelps) {
  Plug("/dev/hidraw5");
  transport.devices()[0].accessDenied = true;

  EXPECT_EQ(Run({"list"}), 4);
  EXPECT_EQ(console.out, "/dev/hidraw5  MAVIRA  permission denied\n");
  EXPECT_NE(console.err.find("/dev/hidraw5"), std::string::npos);
  EXPECT_NE(console.err.find(kRule), std::string::npos);
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
  CliContext context{console, *texts, bus, transport, clock, shield, {}, kRule};

  EXPECT_EQ(RunCommandLine({"list", "--wait", "5"}, context), 0);
  EXPECT_EQ(clock.nowMs, 2000u) << "the wait ends when the unit is there";
  EXPECT_NE(console.out.find("Waiting up to 5 seconds for a programming unit...\n"),
            std::string::npos);
  EXPECT_NE(console.out.find("/dev/hidraw1  MAVIRA 1.2"), std::string::npos);

  transport.devices().clear();
  clock.atTwoSeconds = nullptr;
  clock.nowMs = 0;
  EXPECT_EQ(RunCommandLine({"list", "--wait", "3"}, context), 3);
  EXPECT_EQ(clock.nowMs, 3000u) << "the wait is bounded";
}

}  // namespace

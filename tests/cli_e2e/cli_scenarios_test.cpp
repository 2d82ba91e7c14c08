// list, JSON, German, --wait, --device, access and refusals: the program's answers before any
// update request is sent.
#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include <nlohmann/json.hpp>

#include "build_facts.h"
#include "tests/cli_e2e/scenario.h"

namespace cli_e2e {
namespace {

sim::DevicePlan Unit(std::uint16_t productId = 2) {
  sim::DevicePlan plan;
  plan.productId = productId;
  return plan;
}

class ListScenario : public Scenario {};

TEST_F(ListScenario, ShowsEveryUnitAndSkipsOtherDevices) {
  sim::DevicePlan mouse;
  mouse.vendorId = 0x046D;
  mouse.productId = 0xC077;
  mouse.isUnit = false;
  const std::string mousePath = bus.Plug(mouse);
  const std::string torvex = bus.Plug(Unit(1));
  sim::DevicePlan wrongMode = Unit();
  wrongMode.unit.unitMode = 1;
  wrongMode.unit.unitVersion = 0x00000207;
  const std::string mavira = bus.Plug(wrongMode);

  const standin::ProgramResult result = Run({"list"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  // The bus's nodes have long paths (its own /dev in a temporary folder): lines past 80 columns
  // go on indented.
  EXPECT_EQ(result.out, torvex + "  TORVEX 1.2  ESC-bootloader 1.5  ESC 3.2\n  ready\n" + mavira +
                            "  MAVIRA 2.7  ESC-bootloader unknown\n  ESC unknown  wrong mode\n");
  EXPECT_EQ(bus.OpensGranted(mousePath), 0) << "another maker's device is never opened";
  EXPECT_EQ(bus.OpenConnections(torvex), 0);
}

TEST_F(ListScenario, JsonForScriptsParsesAndSaysWhatTheBuildCarries) {
  const std::string path = bus.Plug(Unit());
  const standin::ProgramResult result = Run({"list", "--json", "--wait", "5"});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.err, "");
  const nlohmann::json units = nlohmann::json::parse(result.out);
  ASSERT_EQ(units.size(), 1u) << result.out;
  EXPECT_EQ(units[0]["path"], path);
  EXPECT_EQ(units[0]["unit"], "MAVIRA");
  EXPECT_EQ(units[0]["escVersion"], "3.2");
  EXPECT_EQ(units[0]["state"], "ready");
  EXPECT_EQ(units[0]["carriedVersion"], build_facts::kVersionText);
  EXPECT_EQ(units[0]["carriedImageIsStandin"], build_facts::kImageIsStandin);
  EXPECT_EQ(units[0]["updateOffered"], true);
}

TEST_F(ListScenario, GermanLocaleGermanTexts) {
  sim::DevicePlan noEsc = Unit();
  noEsc.unit.escState = 0;
  const std::string path = bus.Plug(noEsc);

  // Past 80 columns in one line: it goes on indented.
  const standin::ProgramResult list = Run({"list"}, {}, Language::German);
  EXPECT_EQ(list.out, path +
                          "  MAVIRA 1.2  Regler-Bootloader unbekannt\n"
                          "  Regler unbekannt  kein updatef\xC3\xA4higer Regler\n");

  const standin::ProgramResult update = Run({"update", "--yes"}, {}, Language::German);
  EXPECT_EQ(update.exitCode, 5);
  EXPECT_TRUE(Contains(update.err, Text(IDS_NO_ESC, Language::German) + "\n\n" +
                                       Text(IDS_CLI_INSTRUCTIONS, Language::German)))
      << update.err;
  EXPECT_TRUE(UpdateRequests(path).empty());
}

// The program reads the priority list LANGUAGE before the locale, and not in the C locale.
TEST_F(ListScenario, LanguagePriorityListBeforeTheLocale) {
  const std::string path = bus.Plug(Unit());
  struct Case {
    const char* language;
    const char* lang;
    const char* line;  // after the path
  };
  const Case cases[] = {
      {"fr:de", "en_US.UTF-8", "  MAVIRA 1.2  Regler-Bootloader 1.5\n  Regler 3.2  bereit\n"},
      {"de", "C", "  MAVIRA 1.2  ESC-bootloader 1.5  ESC 3.2\n  ready\n"},
  };
  for (const Case& c : cases) {
    standin::ProgramOptions options = Program({"list"});
    for (auto& [name, value] : options.environment) {
      value = name == "LANGUAGE" ? c.language : name == "LANG" ? c.lang : value;
    }
    EXPECT_EQ(standin::RunProgram(options).out, path + c.line)
        << "LANGUAGE=" << c.language << " LANG=" << c.lang;
  }
}

TEST_F(ListScenario, WaitsForAUnitPluggedInLater) {
  std::thread plugger([this] {
    std::this_thread::sleep_for(1500ms);
    bus.Plug(Unit());
  });
  const standin::ProgramResult result = Run({"list", "--wait", "20"});
  plugger.join();
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_TRUE(Contains(result.err, "Waiting up to 20 seconds for a programming unit...\n"));
  EXPECT_TRUE(Contains(result.out, "MAVIRA 1.2"));
  EXPECT_LT(result.elapsed, 15s) << "the wait ends once the unit is there";
}

TEST_F(ListScenario, NoUnitAfterABoundedWait) {
  const standin::ProgramResult result = Run({"list", "--wait", "1"});
  EXPECT_EQ(result.exitCode, 3);
  EXPECT_EQ(result.err, "Waiting up to 1 seconds for a programming unit...\n" + Text(IDS_NO_UNIT) +
                            "\n\n" + Text(IDS_CLI_INSTRUCTIONS) + "\n");
  EXPECT_GE(result.elapsed, 1s);
}

TEST_F(ListScenario, PermissionDeniedNamesTheNodeAndTheRule) {
  sim::DevicePlan denied = Unit();
  denied.accessDenied = true;
  const std::string path = bus.Plug(denied);

  const standin::ProgramResult result = Run({"update", "--yes"});
  EXPECT_EQ(result.exitCode, 4);
  EXPECT_TRUE(Contains(
      result.err, "A programming unit was found at " + path + ", but this user may not open it"))
      << result.err;
  EXPECT_TRUE(Contains(result.err, "/usr/lib/udev/rules.d/70-pelora-update.rules"));
  // The node as the system shows it, so the user sees what stands in the way.
  const passwd* user = getpwuid(getuid());
  ASSERT_NE(user, nullptr);
  EXPECT_TRUE(Contains(result.err,
                       "The node belongs to user " + std::string(user->pw_name) + " and group "))
      << result.err;
  EXPECT_TRUE(Contains(result.err, "with mode -rw-rw-rw-.")) << result.err;
  EXPECT_FALSE(Contains(result.err, Text(IDS_NO_UNIT)));
}

TEST_F(ListScenario, WithoutATerminalAndWithoutYesNothingIsSent) {
  const std::string path = bus.Plug(Unit());
  const standin::ProgramResult result = Run({"update"}, "y\n");  // input is a pipe, not a terminal
  EXPECT_EQ(result.exitCode, 6);
  EXPECT_TRUE(result.err.ends_with(Text(IDS_CLI_NEEDS_TERMINAL) + "\n")) << result.err;
  EXPECT_TRUE(UpdateRequests(path).empty());
}

TEST_F(ListScenario, NoUnitGivesTheGuidance) {
  const standin::ProgramResult result = Run({"update", "--yes"});
  EXPECT_EQ(result.exitCode, 3);
  EXPECT_EQ(result.err, Text(IDS_NO_UNIT) + "\n\n" + Text(IDS_CLI_INSTRUCTIONS) + "\n");
}

// A hidapi without hid_get_report_descriptor and no system source for the descriptor: the unit's
// report lengths cannot be learned, so it is refused before anything is sent.
TEST_F(ListScenario, UnitWhoseLengthsCannotBeLearnedIsRefused) {
  const std::string path = bus.Plug(Unit());
  const std::string node = path.substr(path.rfind('/') + 1);
  if (std::filesystem::exists("/sys/class/hidraw/" + node)) {
    GTEST_SKIP() << "this machine has a real " << node << " whose descriptor the program reads";
  }
  standin::ProgramOptions options = Program({"update", "--yes"});
  options.environment = Environment(Language::English, standin::StandinLibrary::Hidapi013);
  const standin::ProgramResult result = standin::RunProgram(options);
  EXPECT_EQ(result.exitCode, 5);
  EXPECT_EQ(result.err, Text(IDS_CLI_IDENTIFY_FAILED) + "\n");
  EXPECT_TRUE(bus.Requests(path).empty());
}

// A damaged copy of the program (one byte of its carried image changed, as a broken download
// might) refuses to update and sends nothing.
TEST_F(ListScenario, DamagedCopyOfTheProgramSendsNothing) {
  std::ifstream original(PELORA_UPDATE, std::ios::binary);
  std::vector<char> program{std::istreambuf_iterator<char>(original),
                            std::istreambuf_iterator<char>()};
  ASSERT_GE(image.size(), 4096u);
  const auto at =
      std::search(program.begin(), program.end(), image.begin() + 2048, image.begin() + 2048 + 256,
                  [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; });
  ASSERT_NE(at, program.end()) << "the carried image is not in the program file";
  at[100] = static_cast<char>(at[100] ^ 0x10);
  const std::filesystem::path copy =
      std::filesystem::path(bus.socketPath()).parent_path() / "damaged-pelora-update";
  {
    std::ofstream out(copy, std::ios::binary);
    out.write(program.data(), static_cast<std::streamsize>(program.size()));
  }
  std::filesystem::permissions(copy, std::filesystem::perms::owner_all);

  const std::string path = bus.Plug(Unit());
  standin::ProgramOptions options = Program({"update", "--yes"});
  options.argv[0] = copy.string();
  const standin::ProgramResult result = standin::RunProgram(options);
  EXPECT_EQ(result.exitCode, 7) << result.err;
  EXPECT_EQ(result.err, Text(IDS_IMAGE_DAMAGED) + "\n");
  EXPECT_FALSE(Contains(result.out, Text(IDS_NOTE_TEXT)));
  EXPECT_TRUE(UpdateRequests(path).empty());
}

TEST_F(ListScenario, UsageAndVersion) {
  const standin::ProgramResult usage = Run({"update", "--wait"});
  EXPECT_EQ(usage.exitCode, 2);
  EXPECT_EQ(usage.err, "The option --wait needs a value.\nTry 'pelora-update --help'.\n");
  const standin::ProgramResult version = Run({"--version"});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_TRUE(
      version.out.starts_with("pelora-update " + std::string(build_facts::kVersionText) + "\n"));
  const standin::ProgramResult help = Run({"--help"});
  EXPECT_EQ(help.out, Text(IDS_CLI_HELP) + "\n\n" + Text(IDS_CLI_HELP_EXIT_STATUS) + "\n\n" +
                          Text(IDS_CLI_HELP_MORE) + "\n");
}

}  // namespace
}  // namespace cli_e2e

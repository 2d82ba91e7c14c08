#include "cli/arguments.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct ArgumentsCase {
  const char* name;
  std::vector<std::string> args;
  std::optional<CliCommand> command;  // nullopt: refused
  MessageId error = 0;
  std::vector<std::string> subjects;
  bool json = false;
  bool yes = false;
  std::optional<std::string> device;
  std::uint32_t waitSeconds = 0;
};

ArgumentsCase Accepted(const char* name, std::vector<std::string> args, CliCommand command,
                       void (*expect)(ArgumentsCase&) = nullptr) {
  ArgumentsCase c;
  c.name = name;
  c.args = std::move(args);
  c.command = command;
  if (expect != nullptr) {
    expect(c);
  }
  return c;
}

ArgumentsCase Refused(const char* name, std::vector<std::string> args, MessageId error,
                      std::vector<std::string> subjects = {}) {
  ArgumentsCase c;
  c.name = name;
  c.args = std::move(args);
  c.error = error;
  c.subjects = std::move(subjects);
  return c;
}

class ArgumentsTest : public ::testing::TestWithParam<ArgumentsCase> {};

TEST_P(ArgumentsTest, ParsesOrSaysWhy) {
  const ArgumentsCase& c = GetParam();
  const ParsedArguments parsed = ParseArguments(c.args);
  if (!c.command) {
    ASSERT_FALSE(parsed.arguments.has_value());
    EXPECT_EQ(parsed.error, c.error);
    EXPECT_EQ(parsed.errorSubjects, c.subjects);
    return;
  }
  ASSERT_TRUE(parsed.arguments.has_value()) << parsed.error;
  EXPECT_EQ(parsed.arguments->command, *c.command);
  EXPECT_EQ(parsed.arguments->json, c.json);
  EXPECT_EQ(parsed.arguments->yes, c.yes);
  EXPECT_EQ(parsed.arguments->device, c.device);
  EXPECT_EQ(parsed.arguments->waitSeconds, c.waitSeconds);
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, ArgumentsTest,
    ::testing::Values(
        Accepted("List", {"list"}, CliCommand::List),
        Accepted("ListJsonWait", {"list", "--json", "--wait", "30"}, CliCommand::List,
                 [](ArgumentsCase& c) {
                   c.json = true;
                   c.waitSeconds = 30;
                 }),
        Accepted("OptionsBeforeTheCommand", {"--yes", "--device", "/dev/hidraw3", "update"},
                 CliCommand::Update,
                 [](ArgumentsCase& c) {
                   c.yes = true;
                   c.device = "/dev/hidraw3";
                 }),
        Accepted("HelpWinsOverAnything", {"update", "--bogus", "--help"}, CliCommand::Help),
        Accepted("VersionWinsOverAnything", {"--version", "list"}, CliCommand::Version),
        Accepted("WaitUpToADay", {"update", "--wait", "86400"}, CliCommand::Update,
                 [](ArgumentsCase& c) { c.waitSeconds = 86400; }),
        Accepted("ValuesAfterAnEqualsSign", {"update", "--device=/dev/hidraw3", "--wait=5"},
                 CliCommand::Update,
                 [](ArgumentsCase& c) {
                   c.device = "/dev/hidraw3";
                   c.waitSeconds = 5;
                 }),
        Accepted("ShortYes", {"update", "-y"}, CliCommand::Update,
                 [](ArgumentsCase& c) { c.yes = true; }),
        Accepted("PathWithAnEqualsSign", {"update", "--device", "/tmp/a=b"}, CliCommand::Update,
                 [](ArgumentsCase& c) { c.device = "/tmp/a=b"; }),
        Accepted("DoctorJson", {"doctor", "--json"}, CliCommand::Doctor,
                 [](ArgumentsCase& c) { c.json = true; }),
        Refused("YesIsNotForDoctor", {"doctor", "--yes"}, IDS_CLI_OPTION_NOT_FOR,
                {"--yes", "doctor"}),
        Refused("DoctorTwice", {"doctor", "doctor"}, IDS_CLI_UNKNOWN_ARGUMENT, {"doctor"}),
        Refused("NoCommand", {}, IDS_CLI_NO_COMMAND),
        Refused("TwoCommands", {"list", "update"}, IDS_CLI_UNKNOWN_ARGUMENT, {"update"}),
        Refused("UnknownOption", {"update", "--force"}, IDS_CLI_UNKNOWN_ARGUMENT, {"--force"}),
        Refused("UnknownOptionWithValue", {"update", "--force=1"}, IDS_CLI_UNKNOWN_ARGUMENT,
                {"--force=1"}),
        Refused("ShortOptionsAreNotBundled", {"update", "-yh0"}, IDS_CLI_UNKNOWN_ARGUMENT,
                {"-yh0"}),
        Refused("DeviceWithoutPath", {"update", "--device"}, IDS_CLI_MISSING_VALUE, {"--device"}),
        // The option after --device is what the user typed instead of a path: help is not meant.
        Refused("DeviceFollowedByHelp", {"update", "--device", "-h"}, IDS_CLI_MISSING_VALUE,
                {"--device"}),
        Refused("DeviceFollowedByLongHelp", {"--device", "--help", "update"}, IDS_CLI_MISSING_VALUE,
                {"--device"}),
        Refused("WaitFollowedByYes", {"update", "--wait", "-y"}, IDS_CLI_MISSING_VALUE, {"--wait"}),
        Accepted("HelpAfterAGivenDevice", {"update", "--device", "/dev/hidraw0", "-h"},
                 CliCommand::Help),
        Accepted("DashedPathAfterEquals", {"update", "--device=-h"}, CliCommand::Update,
                 [](ArgumentsCase& c) { c.device = "-h"; }),
        Refused("DeviceEmptyAfterEquals", {"update", "--device="}, IDS_CLI_MISSING_VALUE,
                {"--device"}),
        Refused("WaitWithoutSeconds", {"list", "--wait"}, IDS_CLI_MISSING_VALUE, {"--wait"}),
        Refused("WaitOverADay", {"list", "--wait", "86401"}, IDS_CLI_BAD_SECONDS, {"86401"}),
        Refused("WaitNegative", {"list", "--wait", "-1"}, IDS_CLI_BAD_SECONDS, {"-1"}),
        Refused("WaitNotANumber", {"list", "--wait=5s"}, IDS_CLI_BAD_SECONDS, {"5s"}),
        Refused("WaitHuge", {"list", "--wait", "99999999999999999999"}, IDS_CLI_BAD_SECONDS,
                {"99999999999999999999"}),
        Refused("FlagWithAValue", {"list", "--json=yes"}, IDS_CLI_OPTION_NO_VALUE, {"--json"}),
        Refused("RepeatedOption", {"update", "--device", "a", "--device=b"}, IDS_CLI_OPTION_TWICE,
                {"--device"}),
        Refused("RepeatedFlagInBothForms", {"update", "-y", "--yes"}, IDS_CLI_OPTION_TWICE,
                {"--yes"}),
        Refused("JsonIsNotForUpdate", {"update", "--json"}, IDS_CLI_OPTION_NOT_FOR,
                {"--json", "update"}),
        Refused("DeviceIsNotForList", {"list", "--device", "x"}, IDS_CLI_OPTION_NOT_FOR,
                {"--device", "list"}),
        Refused("YesIsNotForList", {"--yes", "list"}, IDS_CLI_OPTION_NOT_FOR, {"--yes", "list"})),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace

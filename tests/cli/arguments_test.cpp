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
  std::string subject;
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
                      std::string subject = {}) {
  ArgumentsCase c;
  c.name = name;
  c.args = std::move(args);
  c.error = error;
  c.subject = std::move(subject);
  return c;
}

class ArgumentsTest : public ::testing::TestWithParam<ArgumentsCase> {};

TEST_P(ArgumentsTest, ParsesOrSaysWhy) {
  const ArgumentsCase& c = GetParam();
  const ParsedArguments parsed = ParseArguments(c.args);
  if (!c.command) {
    ASSERT_FALSE(parsed.arguments.has_value());
    EXPECT_EQ(parsed.error, c.error);
    EXPECT_EQ(parsed.errorSubject, c.subject);
    return;
  }
  ASSERT_TRUE(parsed.arguments.has_value()) << parsed.error << " " << parsed.errorSubject;
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
        Refused("NoCommand", {}, IDS_CLI_NO_COMMAND),
        Refused("TwoCommands", {"list", "update"}, IDS_CLI_UNKNOWN_ARGUMENT, "update"),
        Refused("UnknownOption", {"update", "--force"}, IDS_CLI_UNKNOWN_ARGUMENT, "--force"),
        Refused("DeviceWithoutPath", {"update", "--device"}, IDS_CLI_MISSING_VALUE, "--device"),
        Refused("WaitWithoutSeconds", {"list", "--wait"}, IDS_CLI_MISSING_VALUE, "--wait"),
        Refused("WaitOverADay", {"list", "--wait", "86401"}, IDS_CLI_BAD_SECONDS, "86401"),
        Refused("WaitNegative", {"list", "--wait", "-1"}, IDS_CLI_BAD_SECONDS, "-1"),
        Refused("WaitNotANumber", {"list", "--wait", "5s"}, IDS_CLI_BAD_SECONDS, "5s"),
        Refused("WaitHuge", {"list", "--wait", "99999999999999999999"}, IDS_CLI_BAD_SECONDS,
                "99999999999999999999")),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace

// Safe in a user's hands: a second program on a unit that is being updated, a holder killed
// outright, standard descriptors closed or full, and the terminal's job control.
#include <signal.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <thread>

#include "tests/cli_e2e/scenario.h"
#include "tests/hidapi_standin/driver/tmux_session.h"
#include "texts/message_format.h"

namespace cli_e2e {
namespace {

class SafetyScenario : public Scenario {
 protected:
  // Waits until the unit has taken `count` requests after its identification.
  bool WaitForRequests(const std::string& path, std::size_t count) {
    for (int i = 0; i < 1500; ++i) {
      if (UpdateRequests(path).size() >= count) {
        return true;
      }
      std::this_thread::sleep_for(20ms);
    }
    return false;
  }

  // The program run by a shell that first rearranges its descriptors as `redirections` say.
  standin::ProgramOptions Shell(const std::string& redirections, std::vector<std::string> args) {
    std::string command = "exec \"$0\"";
    for (std::size_t i = 0; i < args.size(); ++i) {
      command += " \"$" + std::to_string(i + 1) + "\"";
    }
    standin::ProgramOptions options = Program(std::move(args));
    options.argv.insert(options.argv.begin(), {"/bin/sh", "-c", command + " " + redirections});
    return options;
  }
};

TEST_F(SafetyScenario, ASecondProgramFindsTheUnitBusySendsNothingAndTheKilledHolderFreesIt) {
  const std::string path = bus.Plug({});
  standin::ChildProcess first(Program({"update", "--yes"}));
  // Past the lock, in the erase's long wait: the moment the second copy struck.
  ASSERT_TRUE(WaitForRequests(path, 3)) << first.ErrorSoFar();

  const std::string busy = Utf8FromWide(
      FormatWithText(TableText(IDS_CLI_UNIT_BUSY, Language::English), WideFromUtf8(path)));
  const standin::ProgramResult second = Run({"update", "--yes"});
  EXPECT_EQ(second.exitCode, 8) << second.err;
  EXPECT_EQ(second.err, busy + "\n");
  const standin::ProgramResult list = Run({"list"});
  EXPECT_EQ(list.exitCode, 8);
  EXPECT_EQ(list.out, path + "  MAVIRA  busy\n");
  const standin::ProgramResult json = Run({"list", "--json"});
  EXPECT_TRUE(Contains(json.out, "\"state\": \"busy\"")) << json.out;

  // Only the first program's requests reached the unit: its trace is an update and nothing else.
  ASSERT_TRUE(WaitForRequests(path, 4 + 20));
  ExpectUpdateRequests(path, UpdateRequests(path).size());

  // Killed outright, the holder leaves no claim behind: the kernel dropped its lock.
  ASSERT_EQ(kill(first.pid(), SIGKILL), 0);
  const standin::ProgramResult killed = first.Finish();
  EXPECT_EQ(killed.signal, SIGKILL);
  const standin::ProgramResult after = Run({"list"});
  EXPECT_EQ(after.exitCode, 0) << after.out << after.err;
  EXPECT_FALSE(Contains(after.out, "busy")) << after.out;
}

// With stdout and stderr closed the unit's connection must not become descriptor 1 or 2, and a
// SIGTERM (explained into the void) must not end the update.
TEST_F(SafetyScenario, ClosedOutputAndErrorAndOneSigtermStillUpdateTheUnitExactly) {
  const std::string path = bus.Plug({});
  standin::ChildProcess program(Shell(">&- 2>&-", {"update", "--yes"}));
  ASSERT_TRUE(WaitForRequests(path, 4 + 10));
  kill(program.pid(), SIGTERM);
  const standin::ProgramResult result = program.Finish();
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.out, "");
  ExpectUpdateRequests(path, SIZE_MAX);
  EXPECT_EQ(bus.Flash(path), expected::FlashAfterUpdate(image));
}

TEST_F(SafetyScenario, AFullOutputIsAnErrorWithAMessage) {
  bus.Plug({});
  const std::string message =
      "pelora-update: the output could not be written (No space left on "
      "device).\n";
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--version"}, {"--help"}, {"list"}, {"list", "--json"}}) {
    SCOPED_TRACE(args.back());
    const standin::ProgramResult result = standin::RunProgram(Shell(">/dev/full", args));
    EXPECT_EQ(result.exitCode, 9);
    EXPECT_EQ(result.err, message);
  }
}

// An update's status is the unit's story, whatever became of its result lines: a failed lock
// stays 10, and the lost output is said on the error stream.
TEST_F(SafetyScenario, AFullOutputDuringAnUpdateIsSaidAndKeepsTheUpdatesStatus) {
  sim::DevicePlan plan;
  plan.faults = {{0x0B, 1, sim::FaultKind::FailFlag}};
  bus.Plug(plan);
  const standin::ProgramResult result =
      standin::RunProgram(Shell(">/dev/full", {"update", "--yes"}));
  EXPECT_EQ(result.exitCode, 10) << result.err;
  EXPECT_TRUE(Contains(result.err, Text(IDS_LOCK_FAILED))) << result.err;
  EXPECT_TRUE(result.err.ends_with(
      "pelora-update: the output could not be written (No space left on device).\n"))
      << result.err;
}

// With the error stream sent to a file, the questions would wait unseen in it: they are asked
// on the terminal itself, and the file keeps the rest of the conversation.
TEST_F(SafetyScenario, ErrorsToAFileStillAskOnTheTerminal) {
  const std::string path = bus.Plug({});
  const std::string log = bus.nodeFolder() + "/../errors.txt";
  standin::TerminalOptions options;
  options.argv = {"/bin/sh", "-c", "exec \"$0\" update 2> \"$1\"", PELORA_UPDATE, log};
  options.environment = Environment();
  options.columns = 200;
  standin::TmuxSession terminal(options);
  ASSERT_TRUE(terminal.started());
  ASSERT_TRUE(terminal.WaitForText("Continue? (y/n)", 20s)) << terminal.Screen();
  EXPECT_TRUE(Contains(terminal.Screen(), Text(IDS_NOTE_CAPTION))) << terminal.Screen();
  ASSERT_TRUE(terminal.Type("n"));
  ASSERT_TRUE(terminal.SendKeys({"Enter"}));
  EXPECT_EQ(terminal.WaitForExit(20s), std::optional<int>(6)) << terminal.Screen();
  EXPECT_TRUE(terminal.WaitForText(Text(IDS_CLI_DECLINED), 5s)) << terminal.Screen();
  EXPECT_TRUE(UpdateRequests(path).empty());
  std::remove(log.c_str());
}

// Without a controlling terminal (a session of its own) there is nowhere to ask: the program
// says so at once instead of waiting for an answer nobody was asked for.
TEST_F(SafetyScenario, ErrorsToAFileWithoutAControllingTerminalRefuseAtOnce) {
  const std::string path = bus.Plug({});
  const std::string log = bus.nodeFolder() + "/../errors.txt";
  standin::TerminalOptions options;
  options.argv = {"setsid",      "-w", "/bin/sh", "-c", "exec \"$0\" update 2> \"$1\"",
                  PELORA_UPDATE, log};
  options.environment = Environment();
  options.columns = 200;
  standin::TmuxSession terminal(options);
  ASSERT_TRUE(terminal.started());
  EXPECT_EQ(terminal.WaitForExit(20s), std::optional<int>(6)) << terminal.Screen();
  std::ifstream file(log);
  const std::string errors{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  EXPECT_TRUE(Contains(errors, Text(IDS_CLI_NEEDS_TERMINAL))) << errors;
  EXPECT_TRUE(UpdateRequests(path).empty());
  std::remove(log.c_str());
}

// udev rules often add a symlink to the node, and a path typed by hand may carry a doubled slash.
TEST_F(SafetyScenario, DeviceThroughASymlinkOrADoubledSlashFindsTheUnit) {
  sim::DevicePlan wrongMode;
  wrongMode.unit.unitMode = 1;  // so that no update starts: the found unit is only judged
  const std::string path = bus.Plug(wrongMode);
  const std::string link = bus.nodeFolder() + "/../pelora-unit";
  ASSERT_EQ(symlink(path.c_str(), link.c_str()), 0);
  const std::string folder = path.substr(0, path.rfind('/'));
  for (const std::string& spelling : {link, folder + "//" + path.substr(path.rfind('/') + 1)}) {
    SCOPED_TRACE(spelling);
    const standin::ProgramResult result = Run({"update", "--yes", "--device", spelling});
    EXPECT_EQ(result.exitCode, 5) << result.err;
    EXPECT_TRUE(Contains(result.out, path)) << result.out;
  }
  std::remove(link.c_str());
}

// The case: the update's results sent to a file, the questions still on the terminal.
TEST_F(SafetyScenario, OutputToAFileLeavesTheConversationOnTheTerminal) {
  bus.Plug({});
  const std::string log = bus.nodeFolder() + "/../log.txt";
  standin::TerminalOptions options;
  options.argv = {"/bin/sh", "-c", "exec \"$0\" update > \"$1\"", PELORA_UPDATE, log};
  options.environment = Environment();
  options.columns = 200;
  standin::TmuxSession terminal(options);
  ASSERT_TRUE(terminal.started());
  ASSERT_TRUE(terminal.WaitForText("Continue? (y/n)", 20s)) << terminal.Screen();
  ASSERT_TRUE(terminal.Type("n"));
  ASSERT_TRUE(terminal.SendKeys({"Enter"}));
  EXPECT_EQ(terminal.WaitForExit(20s), std::optional<int>(6)) << terminal.Screen();
  std::remove(log.c_str());
}

}  // namespace
}  // namespace cli_e2e

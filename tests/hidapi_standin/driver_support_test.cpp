// The helpers the command-line tests stand on: a child process with input, output and a time
// limit, a program in a real terminal, and the bus's refusal of what it cannot play.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <string>

#include "tests/hidapi_standin/driver/child_process.h"
#include "tests/hidapi_standin/driver/standin_bus.h"
#include "tests/hidapi_standin/driver/tmux_session.h"

namespace {

using namespace std::chrono_literals;
using standin::ChildProcess;
using standin::ProgramResult;
using standin::RunProgram;

TEST(RunProgram, FeedsInputSetsTheEnvironmentAndCapturesBothStreamsAndTheExitCode) {
  const ProgramResult result = RunProgram(
      {{"sh", "-c", "read line; echo \"got $line and $GREETING\"; echo oops >&2; exit 3"},
       {{"GREETING", "hello world"}},
       10s},
      "input line\n");
  EXPECT_TRUE(result.started);
  EXPECT_FALSE(result.timedOut);
  ASSERT_TRUE(result.exited);
  EXPECT_EQ(result.exitCode, 3);
  EXPECT_EQ(result.out, "got input line and hello world\n");
  EXPECT_EQ(result.err, "oops\n");
}

TEST(ChildProcess, KillsAProgramAndWhatItStartedWhenTheTimeIsUp) {
  ChildProcess child({{"sh", "-c", "sleep 60 & sleep 60; echo never"}, {}, 300ms});
  ASSERT_TRUE(child.started());
  const ProgramResult result = child.Finish();
  EXPECT_TRUE(result.timedOut);
  EXPECT_FALSE(result.exited);
  EXPECT_EQ(result.signal, SIGKILL);
  EXPECT_EQ(result.out, "");
  // The background sleep held the output pipe; the group kill ended it, so Finish came back.
  EXPECT_LT(result.elapsed, 10s);
}

TEST(ChildProcess, WaitsForOutputBeforeItIsGivenInput) {
  ChildProcess child({{"sh", "-c", "echo ready; read answer; echo \"answer $answer\""}, {}, 10s});
  ASSERT_TRUE(child.WaitForOutput("ready", 5s));
  EXPECT_FALSE(child.WaitForOutput("answer", 100ms));
  EXPECT_TRUE(child.Input("yes\n"));
  EXPECT_TRUE(child.WaitForOutput("answer yes", 5s));
  const ProgramResult result = child.Finish();
  EXPECT_TRUE(result.exited);
  EXPECT_EQ(result.exitCode, 0);
}

TEST(TmuxSession, DrivesAPromptInARealTerminalAndReportsTheExitStatus) {
  standin::TmuxSession terminal(
      {{"sh", "-c",
        "if [ -t 0 ]; then echo terminal; fi; printf 'Name? '; read name; "
        "echo \"hello $name from $PLACE\"; exit 4"},
       {{"PLACE", "tmux"}},
       60,
       10});
  ASSERT_TRUE(terminal.started());
  ASSERT_TRUE(terminal.WaitForText("Name?", 10s));
  EXPECT_NE(terminal.Screen().find("terminal"), std::string::npos);
  EXPECT_TRUE(terminal.Type("Ada"));
  EXPECT_TRUE(terminal.SendKeys({"Enter"}));
  EXPECT_TRUE(terminal.WaitForText("hello Ada from tmux", 10s));
  EXPECT_EQ(terminal.WaitForExit(10s), 4);
}

TEST(TmuxSession, ReportsAProgramEndedByCtrlCAsTheShellWould) {
  standin::TmuxSession terminal({{"sh", "-c", "echo started; exec sleep 30"}, {}, 60, 10});
  ASSERT_TRUE(terminal.WaitForText("started", 10s));
  EXPECT_TRUE(terminal.SendKeys({"C-c"}));
  EXPECT_EQ(terminal.WaitForExit(10s), 128 + SIGINT);
}

// hidapi reads no attributes from an open device: a plan that makes them fail would pass here
// without the program ever meeting the failure.
TEST(StandinBus, FailsTheTestThatPlugsWhatItCannotPlay) {
  standin::StandinBus bus;
  sim::DevicePlan plan;
  plan.name = "noattr";
  plan.attributesReadable = false;
  std::string path = "(not plugged)";
  EXPECT_NONFATAL_FAILURE(path = bus.Plug(plan),
                          "the stand-in bus cannot play unreadable attributes (device \"noattr\")");
  EXPECT_EQ(path, "");
}

}  // namespace

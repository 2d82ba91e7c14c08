#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <thread>
#include <vector>

#include "cli/interrupt_shield.h"
#include "platform/posix/signal_watcher.h"
#include "tests/cli/cli_fixture.h"

namespace {

using namespace std::chrono_literals;
using Action = InterruptAction;

// Signals and when they come (seconds since the shield was raised), and what each one asks for.
struct PolicyCase {
  const char* name;
  std::vector<std::pair<int, int>> signals;  // signal, seconds
  std::vector<Action> actions;
};

class InterruptPolicyTable : public ::testing::TestWithParam<PolicyCase> {};

TEST_P(InterruptPolicyTable, AFirstInterruptWarnsASecondSoonAfterStops) {
  const PolicyCase& c = GetParam();
  InterruptPolicy policy;
  const std::chrono::steady_clock::time_point start{};
  std::vector<Action> actions;
  for (const auto& [signal, seconds] : c.signals) {
    actions.push_back(policy.OnSignal(signal, start + std::chrono::seconds(seconds)));
  }
  EXPECT_EQ(actions, c.actions);
}

INSTANTIATE_TEST_SUITE_P(
    Table, InterruptPolicyTable,
    ::testing::Values(
        PolicyCase{"SecondCtrlCWithinFiveSeconds",
                   {{SIGINT, 0}, {SIGINT, 5}},
                   {Action::Warn, Action::Stop}},
        PolicyCase{"SecondCtrlCTooLateWarnsAgain",
                   {{SIGINT, 0}, {SIGINT, 6}, {SIGINT, 10}},
                   {Action::Warn, Action::Warn, Action::Stop}},
        PolicyCase{"TermAndQuitCountAsInterrupts",
                   {{SIGTERM, 0}, {SIGQUIT, 1}},
                   {Action::Warn, Action::Stop}},
        PolicyCase{"AfterTheStopFurtherInterruptsAreIgnored",
                   {{SIGINT, 0}, {SIGINT, 1}, {SIGINT, 2}, {SIGTSTP, 3}},
                   {Action::Warn, Action::Stop, Action::Ignore, Action::CannotPause}},
        PolicyCase{"HangUpAndBackgroundSignalsNeitherWarnNorCount",
                   {{SIGHUP, 0}, {SIGTTIN, 0}, {SIGTTOU, 0}, {SIGINT, 1}, {SIGHUP, 2}},
                   {Action::Ignore, Action::Ignore, Action::Ignore, Action::Warn, Action::Ignore}},
        PolicyCase{"CtrlZExplainsAndDoesNotCountAsAFirstInterrupt",
                   {{SIGTSTP, 0}, {SIGINT, 1}, {SIGTSTP, 2}, {SIGINT, 3}},
                   {Action::CannotPause, Action::Warn, Action::CannotPause, Action::Stop}}),
    [](const auto& info) { return std::string(info.param.name); });

// The shield on the real mechanism: signals sent to this process reach it, not their default
// action, and it speaks the catalogue's words.
TEST(InterruptShield, TakesRealSignalsWhileRaisedAndAsksToStopAtTheSecondInterrupt) {
  RecordingConsole console;
  TextConsole text(console);
  const TableCatalogue texts(Language::English);
  SignalWatcher signals;
  InterruptShield shield(signals, text, texts,
                         [] { return std::chrono::steady_clock::time_point{}; });
  const auto waitFor = [&](const std::function<bool()>& done) {
    // Handled on the watcher's thread; a generous bound only keeps a broken build from hanging.
    for (int i = 0; i < 1000 && !done(); ++i) {
      std::this_thread::sleep_for(10ms);
    }
    return done();
  };
  const std::string warning = "\n" + Utf8FromWide(texts.Text(IDS_CLI_INTERRUPT_WARNING)) + "\n";
  const std::string suspend = "\n" + Utf8FromWide(texts.Text(IDS_CLI_SUSPEND_WARNING)) + "\n";

  shield.Raise();
  ASSERT_EQ(kill(getpid(), SIGINT), 0);
  ASSERT_TRUE(waitFor([&] { return console.err.size() >= warning.size(); }));
  EXPECT_EQ(console.err, warning);
  EXPECT_FALSE(shield.stop().Requested());
  ASSERT_EQ(kill(getpid(), SIGTSTP), 0);
  ASSERT_TRUE(waitFor([&] { return console.err.size() >= warning.size() + suspend.size(); }));
  EXPECT_EQ(console.err, warning + suspend);
  ASSERT_EQ(kill(getpid(), SIGINT), 0);
  EXPECT_TRUE(waitFor([&] { return shield.stop().Requested(); }));
  shield.Lower();

  // Lowered, the signal mask is the one before: SIGINT is not blocked in this thread.
  sigset_t mask;
  ASSERT_EQ(pthread_sigmask(SIG_SETMASK, nullptr, &mask), 0);
  EXPECT_EQ(sigismember(&mask, SIGINT), 0);

  // Raised again, it starts afresh.
  shield.Raise();
  EXPECT_FALSE(shield.stop().Requested());
  shield.Lower();
}

}  // namespace

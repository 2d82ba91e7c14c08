// A whole update in a real terminal of 80 columns: the prompt answered by typing, the progress
// bar redrawn in place without ever wrapping, a single Ctrl-C and a Ctrl-Z that only explain,
// and the exact requests, waits and flash content.
#include "tests/cli_e2e/scenario.h"
#include "tests/hidapi_standin/driver/tmux_session.h"

namespace cli_e2e {
namespace {

class TerminalScenario : public Scenario {};

TEST_F(TerminalScenario, WholeUpdateTypedYesWithBarAndHarmlessCtrlCAndCtrlZ) {
  const std::string path = bus.Plug({});
  standin::TerminalOptions options;
  options.argv = {PELORA_UPDATE, "update"};
  options.environment = Environment();
  options.columns = 80;  // the terminal, where an 83-column line wrapped at every redraw
  standin::TmuxSession terminal(options);
  ASSERT_TRUE(terminal.started());

  ASSERT_TRUE(terminal.WaitForText("Continue? (y/n)", 20s)) << terminal.Screen();
  EXPECT_TRUE(Contains(terminal.Screen(), path)) << terminal.Screen();
  EXPECT_TRUE(UpdateRequests(path).empty()) << "nothing is sent before the answer";
  ASSERT_TRUE(terminal.Type("y"));
  ASSERT_TRUE(terminal.SendKeys({"Enter"}));

  // The bar, redrawn in place: one line that shows the blocks and the remaining time.
  ASSERT_TRUE(terminal.WaitForText(kOfAllBlocks, 30s)) << terminal.Screen();
  ASSERT_TRUE(terminal.WaitForText("] ", 5s)) << terminal.Screen();
  ASSERT_TRUE(terminal.WaitForText(" left", 10s)) << terminal.Screen();

  // One Ctrl-C: the risk is explained and the update goes on.
  ASSERT_TRUE(terminal.SendKeys({"C-c"}));
  ASSERT_TRUE(terminal.WaitForText("Press Ctrl-C again within 5 seconds", 10s))
      << terminal.Screen();
  // Ctrl-Z: the update cannot be paused, says so, and goes on.
  ASSERT_TRUE(terminal.SendKeys({"C-z"}));
  ASSERT_TRUE(terminal.WaitForText("cannot be paused", 10s)) << terminal.Screen();

  const std::optional<int> status = terminal.WaitForExit(120s);
  ASSERT_TRUE(status.has_value()) << terminal.Screen();
  EXPECT_EQ(*status, 0) << terminal.Screen();
  EXPECT_TRUE(terminal.WaitForText(Text(IDS_SUCCESS), 5s));
  EXPECT_TRUE(terminal.WaitForText("100%  " + std::to_string(kBlocks) + kOfAllBlocks, 5s));
  // The line never wrapped: one progress line, plus one more after each of the two warnings
  // that interrupted it, each within the width.
  const std::string screen = terminal.Screen();
  int progressLines = 0;
  for (std::size_t start = 0; start < screen.size();) {
    const std::size_t end = std::min(screen.find('\n', start), screen.size());
    std::string line = screen.substr(start, end - start);
    // The terminal's own echo of the keys typed at the end of the line is not the program's.
    for (const char* echo : {"^C", "^Z"}) {
      if (const std::size_t at = line.find(echo); at != std::string::npos) {
        line.erase(at, 2);
      }
    }
    if (Contains(line, " blocks")) {
      ++progressLines;
      EXPECT_LT(line.size(), 80u) << line;
    }
    start = end + 1;
  }
  EXPECT_LE(progressLines, 3) << screen;

  // The requests, byte for byte, and the flash content.
  ExpectUpdateRequests(path, SIZE_MAX);
  EXPECT_EQ(bus.Flash(path), expected::FlashAfterUpdate(image));

  // No wait ended early: each request came at least the mandated time after the one before.
  const std::vector<sim::RecordedRequest> requests = UpdateRequests(path);
  ASSERT_EQ(requests.size(), 4u + kBlocks + 2u);
  const auto gap = [&](std::size_t i) { return requests[i].timeMs - requests[i - 1].timeMs; };
  EXPECT_GE(gap(1), 20u);
  EXPECT_GE(gap(2), 20u);
  EXPECT_GE(gap(3), 1000u + 4000u + 20u) << "erase reply wait, settle wait, stage gap";
  for (std::size_t i = 4; i < 4 + kBlocks; ++i) {
    ASSERT_GE(gap(i), 20u) << "before request " << i;
  }
  EXPECT_GE(gap(4 + kBlocks), 20u) << "after the last block";
  EXPECT_LT(gap(4 + kBlocks + 1), 20u) << "the closing pair goes back to back";
  EXPECT_EQ(bus.OpenConnections(path), 0);
}

}  // namespace
}  // namespace cli_e2e

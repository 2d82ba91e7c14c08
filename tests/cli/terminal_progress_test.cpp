#include "cli/terminal_progress.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "tests/cli/cli_fixture.h"

namespace {

using namespace std::chrono_literals;

class TerminalProgressTest : public ::testing::Test {
 protected:
  std::chrono::steady_clock::time_point now{};
  RecordingConsole console;
  TableCatalogue texts{Language::English};
  TerminalProgress progress{console, texts, 4, [this] { return now; }};
};

TEST_F(TerminalProgressTest, TerminalRedrawsOneLineWithBlocksAndTimes) {
  console.outputIsTerminal = true;
  progress.Open(L"Writing...");
  now += 10s;
  progress.SetPosition(25);
  now += 10s;
  progress.SetPosition(50);
  now += 95s;
  progress.SetPosition(100);
  progress.Close();
  EXPECT_EQ(console.out,
            "\nWriting...\n"
            "\r[..............................]   0%  0/4 blocks  0:00 elapsed"
            "\r[#######.......................]  25%  1/4 blocks  0:10 elapsed  0:30 left   "
            "\r[###############...............]  50%  2/4 blocks  0:20 elapsed  0:20 left   "
            "\r[##############################] 100%  3/4 blocks  1:55 elapsed  0:38 left   "
            "\n");
}

TEST_F(TerminalProgressTest, TerminalSkipsRedrawsWithinAQuarterSecondAtTheSamePercent) {
  console.outputIsTerminal = true;
  progress.Open(L"t");
  const std::size_t opened = console.out.size();
  now += 100ms;
  progress.SetPosition(0);  // same percent, too soon: not drawn
  EXPECT_EQ(console.out.size(), opened);
  now += 200ms;
  progress.SetPosition(0);  // same percent, a quarter second later: drawn
  EXPECT_GT(console.out.size(), opened);
}

TEST_F(TerminalProgressTest, PipeGetsALineAtEveryTenth) {
  progress.Open(L"Writing...");
  now += 4s;
  progress.SetPosition(5);
  progress.SetPosition(19);
  progress.SetPosition(20);
  progress.SetPosition(100);
  progress.Close();
  EXPECT_EQ(console.out,
            "\nWriting...\n"
            " 19%  2/4 blocks  0:04 elapsed  0:04 left\n"
            " 20%  3/4 blocks  0:04 elapsed  0:01 left\n"
            "100%  4/4 blocks  0:04 elapsed\n");
}

}  // namespace

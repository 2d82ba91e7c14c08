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
  TextConsole text{console};
  TableCatalogue texts{Language::English};
  TerminalProgress progress{text, texts, 4, [this] { return now; }};
};

TEST_F(TerminalProgressTest, TerminalRedrawsOneLineWithBlocksAndTimesOnTheErrorStream) {
  console.progressColumns = 100;
  progress.Open(L"Writing...");
  now += 10s;
  progress.SetPosition(25);
  now += 10s;
  progress.SetPosition(50);
  now += 95s;
  progress.SetPosition(75);
  progress.SetPosition(100);
  progress.Close();
  EXPECT_EQ(console.out, "") << "the output carries results alone";
  EXPECT_EQ(console.err,
            "\nWriting...\n"
            "\r[..............................]   0%  0/4 blocks  0:00 elapsed"
            "\r[#######.......................]  25%  1/4 blocks  0:10 elapsed  0:30 left"
            "\r[###############...............]  50%  2/4 blocks  0:20 elapsed  0:20 left"
            "\r[######################........]  75%  3/4 blocks  1:55 elapsed  0:38 left"
            "\r[##############################] 100%  4/4 blocks  1:55 elapsed           "
            "\n");
}

TEST_F(TerminalProgressTest, TerminalSkipsRedrawsWithinAQuarterSecondAtTheSamePercent) {
  console.progressColumns = 100;
  progress.Open(L"t");
  const std::size_t opened = console.err.size();
  now += 100ms;
  progress.SetPosition(0);  // same percent, too soon: not drawn
  EXPECT_EQ(console.err.size(), opened);
  now += 200ms;
  progress.SetPosition(0);  // same percent, a quarter second later: drawn
  EXPECT_GT(console.err.size(), opened);
}

TEST_F(TerminalProgressTest, NoTerminalGetsALineAtEveryTenth) {
  progress.Open(L"Writing...");
  now += 4s;
  progress.SetPosition(5);
  progress.SetPosition(19);
  progress.SetPosition(20);
  progress.SetPosition(100);
  progress.Close();
  EXPECT_EQ(console.err,
            "\nWriting...\n"
            " 19%  2/4 blocks  0:04 elapsed  0:04 left\n"
            " 20%  3/4 blocks  0:04 elapsed  0:01 left\n"
            "100%  4/4 blocks  0:04 elapsed\n");
}

// Every word of a text made 40 % longer with accented letters, as a translation may be.
class LongWords final : public Catalogue {
 public:
  std::wstring Text(MessageId id) const override {
    const std::wstring text = TableText(id, Language::English);
    return text + std::wstring((text.size() * 4 + 9) / 10, L'\u00e9');
  }
};

// What a terminal of `columns` shows on the progress line after `written`: a carriage return
// goes back to the start, text overwrites, and a character in the last column wraps the line
// (the test fails then).
std::wstring VisibleLine(const std::wstring& written, std::size_t columns, bool& wrapped) {
  std::wstring line;
  std::size_t column = 0;
  for (const wchar_t c : written.substr(written.rfind(L'\n', written.size() - 2) + 1)) {
    if (c == L'\r') {
      column = 0;
    } else if (c != L'\n') {
      if (column >= columns - 1) {
        wrapped = true;
      }
      if (column < line.size()) {
        line[column] = c;
      } else {
        line.push_back(c);
      }
      ++column;
    }
  }
  return line.substr(0, line.find_last_not_of(L' ') + 1);
}

TEST(TerminalProgressFit, EveryLineFitsTheTerminalInEveryLanguageAndTheLastEndsClean) {
  const TableCatalogue english(Language::English);
  const TableCatalogue german(Language::German);
  const LongWords longWords;
  const struct {
    const char* name;
    const Catalogue& texts;
  } languages[] = {{"English", english}, {"German", german}, {"40% longer", longWords}};
  for (const auto& language : languages) {
    for (const int columns : {200, 80, 60, 40, 24, 12, 5}) {
      SCOPED_TRACE(std::string(language.name) + ", " + std::to_string(columns) + " columns");
      RecordingConsole console;
      TextConsole text(console);
      console.progressColumns = columns;
      std::chrono::steady_clock::time_point now{};
      TerminalProgress progress(text, language.texts, 2037, [&] { return now; });
      progress.Open(L"t");
      std::wstring drawn;
      bool wrapped = false;
      std::size_t longest = 0;
      for (std::uint32_t block = 1; block <= 2037; ++block) {
        now += 20ms;
        const std::size_t before = console.err.size();
        progress.SetPosition(block * 100 / 2037);
        const std::wstring redraw = WideFromUtf8(console.err.substr(before));
        for (std::size_t at = 0; (at = redraw.find(L'\r', at)) != std::wstring::npos; ++at) {
          const std::size_t end = redraw.find(L'\r', at + 1);
          longest = std::max(longest, redraw.substr(at + 1, end - at - 1).size());
        }
        drawn += redraw;
      }
      progress.Close();
      EXPECT_LE(longest, static_cast<std::size_t>(columns - 1)) << "a line would wrap";
      const std::wstring last = VisibleLine(WideFromUtf8(console.err), columns, wrapped);
      EXPECT_FALSE(wrapped);
      EXPECT_TRUE(last.find(L"100%") != std::wstring::npos) << Utf8FromWide(last);
      // Nothing of a longer line before it is left behind: the visible line is the last drawn.
      const std::wstring lastDrawn = drawn.substr(drawn.rfind(L'\r') + 1);
      EXPECT_EQ(Utf8FromWide(last),
                Utf8FromWide(lastDrawn.substr(0, lastDrawn.find_last_not_of(L' ') + 1)));
      if (columns >= 80 && language.name == std::string("English")) {
        EXPECT_TRUE(last.find(L"2037/2037 blocks") != std::wstring::npos) << Utf8FromWide(last);
      }
    }
  }
}

TEST(TerminalProgressFit, AResizedTerminalIsFollowedAtTheNextRedraw) {
  RecordingConsole console;
  TextConsole text(console);
  const TableCatalogue texts(Language::German);
  console.progressColumns = 120;
  std::chrono::steady_clock::time_point now{};
  TerminalProgress progress(text, texts, 100, [&] { return now; });
  progress.Open(L"t");
  progress.SetPosition(1);
  console.progressColumns = 30;  // the user narrowed the window
  const std::size_t before = console.err.size();
  progress.SetPosition(2);
  const std::wstring redraw = WideFromUtf8(console.err.substr(before));
  EXPECT_LE(redraw.size(), 1u + 29u) << Utf8FromWide(redraw);
}

}  // namespace

// The lines the command line composes itself stay within the 80 columns of a terminal in every
// language, the pseudo-language (each text about 40 % longer) included. Catalogue paragraphs,
// which a terminal wraps at word boundaries on its own, and the JSON, which is not read as lines,
// are not its to fit.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/line_fit.h"
#include "tests/cli/cli_fixture.h"
#include "tests/support/pseudo_catalogue.h"

namespace {

struct Speaker {
  const char* name;
  const CatalogueTable& table;
  std::size_t language;
};

std::vector<Speaker> Speakers() {
  return {{"English", BuiltInTable(), LanguageIndex(Language::English)},
          {"German", BuiltInTable(), LanguageIndex(Language::German)},
          {"pseudo-language", PseudoCatalogueTable(), PseudoLanguageIndex()}};
}

std::vector<std::wstring> Lines(const std::string& utf8) {
  std::vector<std::wstring> lines;
  std::wstring text = WideFromUtf8(utf8);
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = std::min(text.find(L'\n', start), text.size());
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

class LineWidth : public CliTest {
 protected:
  // One unit in each state `list` tells apart, every version as wide as it gets, under paths as
  // long as hidapi gives them on Linux and on macOS.
  void PlugEveryState() {
    for (const std::string& path :
         {std::string("/dev/hidraw15"), std::string("DevSrvsID:4294971234")}) {
      sim::UnitConfig widest;
      widest.unitVersion = 0xFFFF;
      widest.escBootloaderVersion = 0xFFFF;
      widest.escFirmwareVersion = 0xFFFF;  // the row of dashes
      Plug(path + "a", widest, 1);
      sim::UnitConfig wrongMode = widest;
      wrongMode.unitMode = 1;
      Plug(path + "b", wrongMode);
      sim::UnitConfig noEsc = widest;
      noEsc.escState = 0;
      Plug(path + "c", noEsc);
      sim::UnitConfig otherEsc = widest;
      otherEsc.escTypeId = 0x12345678;
      Plug(path + "d", otherEsc);
      Plug(path + "e", widest)->AddFault({0x08, 1, sim::FaultKind::ReadFailure});
      Plug(path + "f", widest);
      transport.devices().back().accessDenied = true;
    }
  }
};

TEST_F(LineWidth, ListsEveryUnitWithin80Columns) {
  for (const Speaker& speaker : Speakers()) {
    SCOPED_TRACE(speaker.name);
    texts.emplace(speaker.table, speaker.language);
    transport.devices().clear();
    PlugEveryState();
    console.out.clear();

    EXPECT_EQ(Run({"list"}), 0);
    std::size_t units = 0;
    for (const std::wstring& line : Lines(console.out)) {
      units += line.starts_with(L"/dev/") || line.starts_with(L"DevSrvsID:");
      EXPECT_LE(line.size(), 80u) << Utf8FromWide(line);
    }
    EXPECT_EQ(units, 12u) << console.out;
  }
}

// Fields stay on one line while the line fits; a field that would pass the last column starts an
// indented line of its own, and that line's indent counts.
TEST(FitFields, BreaksBeforeTheFieldThatWouldPassTheLastColumn) {
  struct Case {
    std::vector<std::wstring> fields;
    std::wstring expected;
  };
  const std::wstring a18(18, L'a');
  const std::wstring b16(16, L'b');
  const std::wstring x25(25, L'x');
  const Case cases[] = {
      {{}, L""},
      {{L"a", L"b"}, L"a  b"},
      {{L"aaaaaaaa", L"bbbbbbbbbb"}, L"aaaaaaaa  bbbbbbbbbb"},      // exactly 20
      {{L"aaaaaaaa", L"bbbbbbbbbbb"}, L"aaaaaaaa\n  bbbbbbbbbbb"},  // 21
      {{a18, b16, L"cc"}, a18 + L"\n  " + b16 + L"\n  cc"},
      {{a18, L"b", L"c"}, a18 + L"\n  b  c"},
      {{L"x", x25}, L"x\n  " + x25},  // wider than a line: not cut
      {{x25, L"y"}, x25 + L"\n  y"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FitFields(c.fields, 20), c.expected) << Utf8FromWide(c.expected);
  }
}

}  // namespace

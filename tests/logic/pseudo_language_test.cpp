// The pseudo-language that test builds add to the catalogue (cmake/pseudo_language.cmake): made
// from the fallback language's texts, so that it says the same, longer and with accents.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <string>
#include <vector>

#include "tests/support/pseudo_catalogue.h"
#include "texts/message_catalogue.h"

namespace {

// The printf conversions of a text, in order (%s, %08x, %%).
std::vector<std::wstring> Conversions(const std::wstring& text) {
  static const std::wregex conversion(L"%[0-9l]*[a-zA-Z%]");
  std::vector<std::wstring> found;
  for (auto it = std::wsregex_iterator(text.begin(), text.end(), conversion);
       it != std::wsregex_iterator(); ++it) {
    found.push_back(it->str());
  }
  return found;
}

TEST(PseudoLanguage, IsEveryTextOfTheFallbackAbout40PercentLongerWithAccents) {
  const CatalogueTable& table = PseudoCatalogueTable();
  const std::size_t pseudo = PseudoLanguageIndex();
  ASSERT_LT(pseudo, table.languages.size());
  EXPECT_EQ(table.languages[pseudo].windowsLanguageId, 0x0501) << "qps-ploc";
  std::size_t texts = 0;
  for (const CatalogueEntry& entry : BuiltInTable().entries) {
    if (entry.language != 0) {
      continue;
    }
    ++texts;
    const std::wstring original = entry.text;
    const std::wstring text = table.Text(entry.id, pseudo);
    SCOPED_TRACE(testing::Message() << entry.id);
    const double ratio = static_cast<double>(text.size()) / static_cast<double>(original.size());
    if (original.size() >= 10) {
      EXPECT_GE(ratio, 1.3);
      EXPECT_LE(ratio, 1.5);
    } else {
      EXPECT_GT(text.size(), original.size());
    }
    EXPECT_TRUE(std::any_of(text.begin(), text.end(), [](wchar_t c) { return c > 0x7F; }))
        << "no accented letter";
    EXPECT_EQ(Conversions(text), Conversions(original));
    EXPECT_EQ(std::count(text.begin(), text.end(), L'\n'),
              std::count(original.begin(), original.end(), L'\n'));
    EXPECT_EQ(text.find(L"{WEB}"), std::wstring::npos);
  }
  // Every message was looked at: the program's table has each in all of its languages.
  EXPECT_GT(texts, 0u);
  EXPECT_EQ(texts * BuiltInLanguages().size(), BuiltInTable().entries.size());
}

// Beside it, the catalogue holds the program's own languages unchanged.
TEST(PseudoLanguage, LeavesTheProgramsLanguagesAsTheyAre) {
  const CatalogueTable& table = PseudoCatalogueTable();
  ASSERT_EQ(table.languages.size(), BuiltInLanguages().size() + 1);
  for (const CatalogueEntry& entry : BuiltInTable().entries) {
    EXPECT_EQ(table.Text(entry.id, entry.language), entry.text) << entry.id;
  }
}

}  // namespace

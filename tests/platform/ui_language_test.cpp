#include "win32/ui_language.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <span>
#include <string>

#include "tests/support/pseudo_catalogue.h"

namespace {

std::string Chosen(std::uint16_t uiLanguage, std::span<const CatalogueLanguage> languages) {
  const std::size_t index = LanguageForUiLanguage(uiLanguage, languages);
  return index < languages.size() ? languages[index].code : "out of range";
}

// The interface language against the program's languages and against the catalogue with the
// pseudo-language (qps-ploc, LANGID 0x0501, primary language 0x101): any region of a language
// picks it, and only the whole 10-bit primary language counts.
TEST(UiLanguage, PrimaryLanguageAgainstTheCataloguesLanguagesElseTheFirst) {
  struct Case {
    std::uint16_t uiLanguage;
    const char* program;
    const char* withPseudo;
    const char* what;
  };
  const Case cases[] = {
      {0x0407, "de", "de", "German (Germany)"},
      {0x0807, "de", "de", "German (Switzerland)"},
      {0x0C07, "de", "de", "German (Austria)"},
      {0x1407, "de", "de", "German (Liechtenstein)"},
      {0x0007, "de", "de", "German, no region"},
      {0x0409, "en", "en", "English (US)"},
      {0x0809, "en", "en", "English (UK)"},
      {0x040C, "en", "en", "French"},
      {0x0413, "en", "en", "Dutch"},
      {0x0417, "en", "en", "Romansh"},
      {0x0000, "en", "en", "neutral"},
      {0x0487, "en", "en", "Kinyarwanda: primary 0x87, German's under a 7-bit mask"},
      {0x0507, "en", "en", "primary 0x107, German's under an 8-bit mask"},
      {0x0501, "en", "qps", "the pseudo-locale qps-ploc"},
      {0x0401, "en", "en", "Arabic: primary 0x01, the pseudo-language's under an 8-bit mask"},
      {0x09FF, "en", "en", "qps-plocm, another pseudo-locale"},
  };
  const auto withPseudo = PseudoCatalogueTable().languages;
  ASSERT_EQ(withPseudo.size(), BuiltInLanguages().size() + 1);
  for (const Case& c : cases) {
    EXPECT_EQ(Chosen(c.uiLanguage, BuiltInLanguages()), c.program) << c.what;
    EXPECT_EQ(Chosen(c.uiLanguage, withPseudo), c.withPseudo) << c.what;
  }
}

}  // namespace

#include "cli/language.h"

#include <gtest/gtest.h>

#include <span>
#include <string>

#include "tests/support/pseudo_catalogue.h"

namespace {

std::string Chosen(const LocaleVariables& variables, std::span<const CatalogueLanguage> languages) {
  const std::size_t index = LanguageOfLocale(variables, languages);
  return index < languages.size() ? languages[index].code : "out of range";
}

const char* Shown(const char* value) {
  return value == nullptr ? "unset" : value;
}

// gettext's choice, against the program's languages and against the catalogue with the
// pseudo-language (code qps) besides them.
TEST(LanguageOfLocale, PicksAsGettextDoes) {
  struct Case {
    LocaleVariables variables;  // LANGUAGE, LC_ALL, LC_MESSAGES, LANG
    const char* program;
    const char* withPseudo;
  };
  const Case cases[] = {
      // The first set of LC_ALL, LC_MESSAGES, LANG names the locale; its language part counts.
      {{nullptr, nullptr, nullptr, "de_DE.UTF-8"}, "de", "de"},
      {{nullptr, nullptr, nullptr, "de"}, "de", "de"},
      {{nullptr, nullptr, nullptr, "de_AT@euro"}, "de", "de"},
      {{nullptr, nullptr, "de_CH.UTF-8", "en_US.UTF-8"}, "de", "de"},
      {{nullptr, "en_GB.UTF-8", "de_DE.UTF-8", "de_DE.UTF-8"}, "en", "en"},
      {{nullptr, "", "", "de_DE.UTF-8"}, "de", "de"},                  // empty counts as unset
      {{nullptr, "fr_FR.UTF-8", nullptr, "de_DE.UTF-8"}, "en", "en"},  // no fallback to LANG
      {{nullptr, "C", nullptr, "de_DE.UTF-8"}, "en", "en"},
      {{nullptr, nullptr, nullptr, "den_DK"}, "en", "en"},
      {{nullptr, nullptr, nullptr, nullptr}, "en", "en"},
      // LANGUAGE, a priority list, decides before them: the first of its entries the catalogue has.
      {{"de", nullptr, nullptr, "en_US.UTF-8"}, "de", "de"},
      {{"fr:de:en", nullptr, nullptr, "en_US.UTF-8"}, "de", "de"},
      {{"en:de", nullptr, nullptr, "de_DE.UTF-8"}, "en", "en"},
      {{"de_AT.UTF-8:en", "fr_FR.UTF-8", nullptr, nullptr}, "de", "de"},
      {{"::de:", nullptr, nullptr, "en_US.UTF-8"}, "de", "de"},  // empty entries are skipped
      {{"", nullptr, nullptr, "de_DE.UTF-8"}, "de", "de"},       // empty counts as unset
      // When it names none, the fallback: the locale is not tried again, as in gettext.
      {{"fr:it", nullptr, nullptr, "de_DE.UTF-8"}, "en", "en"},
      // An entry C or POSIX ends the list with the untranslated texts.
      {{"fr:C:de", nullptr, nullptr, "de_DE.UTF-8"}, "en", "en"},
      // In the C locale LANGUAGE is ignored; C.UTF-8 is not C.
      {{"de", nullptr, nullptr, "C"}, "en", "en"},
      {{"de", nullptr, nullptr, "POSIX"}, "en", "en"},
      {{"de", "C", nullptr, "de_DE.UTF-8"}, "en", "en"},
      {{"de", nullptr, nullptr, nullptr}, "en", "en"},  // no locale set is the C locale
      {{"de", nullptr, nullptr, "C.UTF-8"}, "de", "de"},
      // A language the program lacks is passed over like any other.
      {{"qps:de", nullptr, nullptr, "en_US.UTF-8"}, "de", "qps"},
      {{nullptr, nullptr, nullptr, "qps_PLOC.UTF-8"}, "en", "qps"},
  };
  const auto withPseudo = PseudoCatalogueTable().languages;
  for (const Case& c : cases) {
    const LocaleVariables& v = c.variables;
    SCOPED_TRACE(std::string("LANGUAGE=") + Shown(v.language) + " LC_ALL=" + Shown(v.lcAll) +
                 " LC_MESSAGES=" + Shown(v.lcMessages) + " LANG=" + Shown(v.lang));
    EXPECT_EQ(Chosen(v, BuiltInLanguages()), c.program);
    EXPECT_EQ(Chosen(v, withPseudo), c.withPseudo);
  }
}

// The program's own choice is the same, named as its Language.
TEST(LanguageOfLocale, NamesTheProgramsLanguage) {
  EXPECT_EQ(LanguageOfLocale({"fr:de", nullptr, nullptr, "en_US.UTF-8"}), Language::German);
  EXPECT_EQ(LanguageOfLocale({nullptr, nullptr, nullptr, "fr_FR.UTF-8"}), Language::English);
}

}  // namespace

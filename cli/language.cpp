#include "cli/language.h"

#include <cstdlib>
#include <optional>
#include <string_view>

namespace {

constexpr std::size_t FALLBACK = 0;

bool IsSet(const char* value) {
  return value != nullptr && *value != '\0';
}

bool IsPosixLocale(std::string_view locale) {
  return locale == "C" || locale == "POSIX";
}

// The catalogue language that a locale name (de, de_DE, de_DE.UTF-8, de_AT@euro) names.
std::optional<std::size_t> LanguageNamedBy(std::string_view locale,
                                           std::span<const CatalogueLanguage> languages) {
  const std::string_view language = locale.substr(0, locale.find_first_of("_.@"));
  for (std::size_t index = 0; index < languages.size(); ++index) {
    if (language == languages[index].code) {
      return index;
    }
  }
  return std::nullopt;
}

}  // namespace

LocaleVariables LocaleVariablesOfEnvironment() {
  return {std::getenv("LANGUAGE"), std::getenv("LC_ALL"), std::getenv("LC_MESSAGES"),
          std::getenv("LANG")};
}

std::size_t LanguageOfLocale(const LocaleVariables& variables,
                             std::span<const CatalogueLanguage> languages) {
  std::string_view locale = "C";
  for (const char* value : {variables.lcAll, variables.lcMessages, variables.lang}) {
    if (IsSet(value)) {
      locale = value;
      break;
    }
  }
  // gettext ignores LANGUAGE in the C locale, whose output POSIX fixes.
  if (IsSet(variables.language) && !IsPosixLocale(locale)) {
    std::string_view list = variables.language;
    while (!list.empty()) {
      const std::size_t colon = list.find(':');
      const std::string_view entry = list.substr(0, colon);
      list = colon == std::string_view::npos ? std::string_view() : list.substr(colon + 1);
      if (IsPosixLocale(entry)) {
        break;  // the untranslated texts
      }
      if (const auto found = entry.empty() ? std::nullopt : LanguageNamedBy(entry, languages)) {
        return *found;
      }
    }
    return FALLBACK;
  }
  return LanguageNamedBy(locale, languages).value_or(FALLBACK);
}

Language LanguageOfLocale(const LocaleVariables& variables) {
  return LanguageAt(LanguageOfLocale(variables, BuiltInLanguages()));
}

#include "cli/language.h"

Language LanguageOfLocale(const char* lcAll, const char* lcMessages, const char* lang) {
  for (const char* value : {lcAll, lcMessages, lang}) {
    if (value == nullptr || *value == '\0') {
      continue;
    }
    const std::string_view locale(value);
    const std::string_view language = locale.substr(0, locale.find_first_of("_.@"));
    return language == "de" ? Language::German : Language::English;
  }
  return Language::English;
}

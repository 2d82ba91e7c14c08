#include "web/browser_language.h"

Language LanguageOfTag(std::string_view tag) {
  const std::string_view primary = tag.substr(0, tag.find_first_of("-_"));
  const bool german = primary.size() == 2 && (primary[0] == 'd' || primary[0] == 'D') &&
                      (primary[1] == 'e' || primary[1] == 'E');
  return german ? Language::German : Language::English;
}

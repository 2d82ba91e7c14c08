#include "web/browser_language.h"

namespace {

bool SameIgnoringAsciiCase(std::string_view a, std::string_view b) {
  const auto lower = [](char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  };
  if (a.size() != b.size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (lower(a[i]) != lower(b[i])) {
      return false;
    }
  }
  return true;
}

}  // namespace

std::size_t LanguageOfTag(std::string_view tag, std::span<const CatalogueLanguage> languages) {
  const std::string_view primary = tag.substr(0, tag.find_first_of("-_"));
  for (std::size_t i = 0; i < languages.size(); ++i) {
    if (SameIgnoringAsciiCase(primary, languages[i].code)) {
      return i;
    }
  }
  return 0;
}

#include "win32/ui_language.h"

namespace {

// PRIMARYLANGID: the low 10 bits of a LANGID; the sublanguage (region) is above them.
constexpr std::uint16_t PRIMARY_LANGUAGE_MASK = 0x03FF;

}  // namespace

std::size_t LanguageForUiLanguage(std::uint16_t uiLanguageId,
                                  std::span<const CatalogueLanguage> languages) {
  for (std::size_t index = 0; index < languages.size(); ++index) {
    if ((languages[index].windowsLanguageId & PRIMARY_LANGUAGE_MASK) ==
        (uiLanguageId & PRIMARY_LANGUAGE_MASK)) {
      return index;
    }
  }
  return 0;
}

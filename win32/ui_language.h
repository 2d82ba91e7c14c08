#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "texts/message_catalogue.h"

// The catalogue language for the user's interface language (a LANGID): the first of `languages`
// with the same primary language, whatever the region (German for Austria or Switzerland too);
// the first of `languages`, the fallback, when none has it.
std::size_t LanguageForUiLanguage(std::uint16_t uiLanguageId,
                                  std::span<const CatalogueLanguage> languages);

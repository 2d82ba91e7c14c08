#pragma once

#include <cstddef>
#include <span>
#include <string_view>

#include "texts/message_catalogue.h"

// The index of the catalogue language to speak for a browser language tag (navigator.language):
// the first of `languages` whose code is the tag's primary subtag, in any case ("de" for de,
// de-DE, de-AT), else the first of `languages`, the fallback.
std::size_t LanguageOfTag(std::string_view tag, std::span<const CatalogueLanguage> languages);

#pragma once

#include <string_view>

#include "texts/message_catalogue.h"

// German for a browser whose language tag's primary subtag is "de" (de, de-DE, de-AT, ...),
// English for any other.
Language LanguageOfTag(std::string_view tag);

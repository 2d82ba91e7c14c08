#pragma once

#include <string_view>

#include "texts/message_catalogue.h"

// The language of the user's locale, from the values of LC_ALL, LC_MESSAGES and LANG (the first
// that is set and not empty decides, as for any POSIX program): German when its language part is
// "de" (de, de_DE.UTF-8, de_AT@euro), English otherwise.
Language LanguageOfLocale(const char* lcAll, const char* lcMessages, const char* lang);

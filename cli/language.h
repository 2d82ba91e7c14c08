#pragma once

#include <cstddef>
#include <span>

#include "texts/message_catalogue.h"

// The environment variables that choose the language of a program's messages on POSIX systems;
// null or empty when unset.
struct LocaleVariables {
  const char* language = nullptr;  // LANGUAGE: a priority list such as "de:en" (a GNU extension)
  const char* lcAll = nullptr;
  const char* lcMessages = nullptr;
  const char* lang = nullptr;
};

// The process's own.
LocaleVariables LocaleVariablesOfEnvironment();

// The index of the catalogue language to speak, as gettext picks a message catalogue: the locale
// of messages is the first set of LC_ALL, LC_MESSAGES and LANG ("C" when none is). Unless that
// locale is "C" or "POSIX", a set LANGUAGE decides alone: its entries in order, the first whose
// language part (de in de_AT.UTF-8@euro) is one of `languages` wins, and an entry "C" or "POSIX"
// or the end of the list means the fallback. Otherwise the locale's language part decides. The
// fallback, `languages`' first, when nothing names one of them.
std::size_t LanguageOfLocale(const LocaleVariables& variables,
                             std::span<const CatalogueLanguage> languages);

// The same among the program's own languages.
Language LanguageOfLocale(const LocaleVariables& variables);

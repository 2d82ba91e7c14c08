#pragma once

#include <cstdint>
#include <string>

using MessageId = std::uint16_t;

// Message identifiers (IDS_...) generated from resources/messages.txt.
#include "message_ids.h"

enum class Language { English, German };

// Where texts come from: the executable's string tables on Windows, the built-in table on the
// host. Bound once at start-up.
using TextLookup = std::wstring (*)(MessageId id);
void BindTextLookup(TextLookup lookup);

// The message in the user's interface language; empty for an unknown identifier.
std::wstring Text(MessageId id);

// The built-in table (the same source as the string tables); used by host tests and to check
// the Windows resources.
std::wstring TableText(MessageId id, Language language);
// Selects the language of TableTextLookup.
void SetTableLanguage(Language language);
std::wstring TableTextLookup(MessageId id);

#include "ui/message_catalogue.h"

namespace {

struct TableRow {
  MessageId id;
  const wchar_t* english;
  const wchar_t* german;
};

constexpr TableRow kTable[] = {
#include "message_table.inc"
};

// The host's stand-in for the user's interface language; Windows chooses by itself.
Language g_tableLanguage = Language::English;

// Until start-up binds the platform's lookup, texts come from the built-in table.
TextLookup g_lookup = &TableTextLookup;

}  // namespace

void BindTextLookup(TextLookup lookup) {
  g_lookup = lookup != nullptr ? lookup : &TableTextLookup;
}

std::wstring Text(MessageId id) {
  return g_lookup(id);
}

std::wstring TableText(MessageId id, Language language) {
  for (const TableRow& row : kTable) {
    if (row.id == id) {
      return language == Language::German ? row.german : row.english;
    }
  }
  return {};
}

void SetTableLanguage(Language language) {
  g_tableLanguage = language;
}

std::wstring TableTextLookup(MessageId id) {
  return TableText(id, g_tableLanguage);
}

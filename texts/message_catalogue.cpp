#include "texts/message_catalogue.h"

namespace {

#include "message_table.inc"

}  // namespace

std::wstring CatalogueTable::Text(MessageId id, std::size_t language) const {
  for (const CatalogueEntry& entry : entries) {
    if (entry.id == id && entry.language == language) {
      return entry.text;
    }
  }
  return {};
}

const CatalogueTable& BuiltInTable() {
  static const CatalogueTable table{BuiltInLanguages(), kEntries};
  return table;
}

std::wstring TableText(MessageId id, Language language) {
  return BuiltInTable().Text(id, LanguageIndex(language));
}

#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

using MessageId = std::uint16_t;

// Message identifiers (IDS_...) and the Language type, generated from resources/messages.txt.
#include "message_ids.h"
#include "message_languages.h"

// Where the texts the user reads come from: the executable's string tables on Windows, the
// built-in table elsewhere.
class Catalogue {
 public:
  virtual ~Catalogue() = default;
  // The message in the user's language; empty for an unknown identifier.
  virtual std::wstring Text(MessageId id) const = 0;
};

// One language of a catalogue as messages.txt declares it.
struct CatalogueLanguage {
  const char* code;                 // the language part of a POSIX locale: "de" in de_DE.UTF-8
  std::uint16_t windowsLanguageId;  // primary language and sublanguage, as MAKELANGID builds them
};

// One text of a catalogue: a message in the language at that index of the catalogue's languages.
struct CatalogueEntry {
  MessageId id;
  std::size_t language;
  const wchar_t* text;
};

// A catalogue compiled from messages.txt. Its languages are in the order declared; the first
// is the fallback of every rule that picks one.
struct CatalogueTable {
  std::span<const CatalogueLanguage> languages;
  std::span<const CatalogueEntry> entries;

  // The text of `id` in the language at `language`; empty when there is none.
  std::wstring Text(MessageId id, std::size_t language) const;
};

// The program's languages, without the texts (the Windows program takes its texts from its string
// tables and needs only these).
std::span<const CatalogueLanguage> BuiltInLanguages();
// The program's own catalogue.
const CatalogueTable& BuiltInTable();

inline constexpr std::size_t LanguageIndex(Language language) {
  return static_cast<std::size_t>(language);
}
// The Language at `index` of BuiltInLanguages().
inline constexpr Language LanguageAt(std::size_t index) {
  return static_cast<Language>(index);
}

// The built-in table's text, generated from the same source as the Windows string tables.
std::wstring TableText(MessageId id, Language language);

class TableCatalogue final : public Catalogue {
 public:
  explicit TableCatalogue(Language language)
      : TableCatalogue(BuiltInTable(), LanguageIndex(language)) {}
  TableCatalogue(const CatalogueTable& table, std::size_t language)
      : table_(&table), language_(language) {}
  std::wstring Text(MessageId id) const override { return table_->Text(id, language_); }

 private:
  const CatalogueTable* table_;
  std::size_t language_;
};

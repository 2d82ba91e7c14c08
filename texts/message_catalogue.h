#pragma once

#include <cstdint>
#include <string>

using MessageId = std::uint16_t;

// Message identifiers (IDS_...) generated from resources/messages.txt.
#include "message_ids.h"

enum class Language { English, German };

// Where the texts the user reads come from: the executable's string tables on Windows, the
// built-in table elsewhere.
class Catalogue {
 public:
  virtual ~Catalogue() = default;
  // The message in the user's language; empty for an unknown identifier.
  virtual std::wstring Text(MessageId id) const = 0;
};

// The built-in table, generated from the same source as the Windows string tables.
std::wstring TableText(MessageId id, Language language);

class TableCatalogue final : public Catalogue {
 public:
  explicit TableCatalogue(Language language) : language_(language) {}
  std::wstring Text(MessageId id) const override { return TableText(id, language_); }

 private:
  Language language_;
};

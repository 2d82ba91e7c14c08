#include "texts/message_catalogue.h"

namespace {

struct TableRow {
  MessageId id;
  const wchar_t* english;
  const wchar_t* german;
};

constexpr TableRow kTable[] = {
#include "message_table.inc"
};

}  // namespace

std::wstring TableText(MessageId id, Language language) {
  for (const TableRow& row : kTable) {
    if (row.id == id) {
      return language == Language::German ? row.german : row.english;
    }
  }
  return {};
}

#include "tests/support/pseudo_catalogue.h"

#include <cstring>

namespace {

#include PSEUDO_LANGUAGES_INC
#include PSEUDO_TABLE_INC

}  // namespace

const CatalogueTable& PseudoCatalogueTable() {
  static const CatalogueTable table{kLanguages, kEntries};
  return table;
}

std::size_t PseudoLanguageIndex() {
  for (std::size_t index = 0; index < std::size(kLanguages); ++index) {
    if (std::strcmp(kLanguages[index].code, "qps") == 0) {
      return index;
    }
  }
  return std::size(kLanguages);  // none: every text of it reads as empty
}

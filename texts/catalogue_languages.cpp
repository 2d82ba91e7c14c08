#include "texts/message_catalogue.h"

namespace {

#include "message_languages.inc"

}  // namespace

std::span<const CatalogueLanguage> BuiltInLanguages() {
  return kLanguages;
}

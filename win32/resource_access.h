#pragma once

#include <windows.h>

#include <cstdint>
#include <span>
#include <string>

#include "texts/message_catalogue.h"

// The language of the string tables, chosen once from the user's interface language among the
// catalogue's languages (the fallback for any other). The texts are taken in exactly that
// language, never by the resource loader's own fallback (which could pick German for a French
// user).
LANGID ChooseUiLanguage();

// The catalogue from the executable's string tables in one language: each text as LoadStringW
// into 2048 characters would give it; empty when missing.
class ResourceCatalogue final : public Catalogue {
 public:
  ResourceCatalogue(HINSTANCE instance, LANGID language)
      : instance_(instance), language_(language) {}
  std::wstring Text(MessageId id) const override;

 private:
  HINSTANCE instance_;
  LANGID language_;
};

// The carried firmware image, in place for the life of the module; empty when it is missing.
std::span<const std::uint8_t> CarriedImage(HINSTANCE instance);

// Dialog template 110, the one for every language; nullptr when missing.
const DLGTEMPLATE* MainDialogTemplate(HINSTANCE instance);

#pragma once

#include <windows.h>

#include <cstdint>
#include <span>
#include <string>

#include "texts/message_catalogue.h"

// The resource language, chosen once: German for a German user interface, English (US) for any
// other. Texts and the dialog template are both taken in that language, never by the resource
// loader's own fallback (which could pick German for a French user).
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

// Dialog template 110 in `language`; nullptr when missing.
const DLGTEMPLATE* MainDialogTemplate(HINSTANCE instance, LANGID language);

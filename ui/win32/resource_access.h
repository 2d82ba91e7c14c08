#pragma once

#include <windows.h>

#include <cstdint>
#include <span>
#include <string>

#include "ui/message_catalogue.h"

// Chooses the resource language once: German for a German user interface, English (US) for any
// other. Texts and the dialog template are both taken in that language, never by the resource
// loader's own fallback (which could pick German for a French user).
void ChooseUiLanguage();
LANGID UiLanguage();

// The text lookup of the message catalogue: the string of that language, as LoadStringW into
// 2048 characters would give it; empty when missing.
std::wstring ResourceText(MessageId id);

// The carried firmware image, in place; empty when the resource is missing.
std::span<const std::uint8_t> CarriedImage();

// Dialog template 110 in the chosen language; nullptr when missing.
const DLGTEMPLATE* MainDialogTemplate();

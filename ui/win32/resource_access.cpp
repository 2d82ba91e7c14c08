#include "ui/win32/resource_access.h"

#include "resources/resource_ids.h"
#include "ui/win32/app_state.h"
#include "ui/win32/string_block.h"

namespace {

constexpr std::size_t TEXT_BUFFER_CHARS = 2048;

LANGID chosenLanguage = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);

// Resource data stays mapped for the life of the module; nothing is freed.
std::span<const std::uint8_t> FindData(HRSRC found) {
  if (found == nullptr) {
    return {};
  }
  const HGLOBAL loaded = LoadResource(App().instance, found);
  const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
  if (data == nullptr) {
    return {};
  }
  return {static_cast<const std::uint8_t*>(data), SizeofResource(App().instance, found)};
}

}  // namespace

void ChooseUiLanguage() {
  chosenLanguage = IsGermanUiLanguage(GetUserDefaultUILanguage())
                       ? MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN)
                       : MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
}

LANGID UiLanguage() {
  return chosenLanguage;
}

std::wstring ResourceText(MessageId id) {
  const auto block = FindData(FindResourceExW(
      App().instance, RT_STRING, MAKEINTRESOURCEW(StringBlockName(id)), chosenLanguage));
  return StringFromBlock(block, id % STRINGS_PER_BLOCK, TEXT_BUFFER_CHARS - 1);
}

std::span<const std::uint8_t> CarriedImage() {
  return FindData(FindResourceW(App().instance, MAKEINTRESOURCEW(IDR_FIRMWARE), RT_RCDATA));
}

const DLGTEMPLATE* MainDialogTemplate() {
  const auto data = FindData(
      FindResourceExW(App().instance, RT_DIALOG, MAKEINTRESOURCEW(IDD_MAIN), chosenLanguage));
  return data.empty() ? nullptr : reinterpret_cast<const DLGTEMPLATE*>(data.data());
}

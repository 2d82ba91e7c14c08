#include "win32/resource_access.h"

#include "resources/resource_ids.h"
#include "win32/string_block.h"
#include "win32/ui_language.h"

namespace {

constexpr std::size_t TEXT_BUFFER_CHARS = 2048;

// Resource data stays mapped for the life of the module; nothing is freed.
std::span<const std::uint8_t> FindData(HINSTANCE instance, HRSRC found) {
  if (found == nullptr) {
    return {};
  }
  const HGLOBAL loaded = LoadResource(instance, found);
  const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
  if (data == nullptr) {
    return {};
  }
  return {static_cast<const std::uint8_t*>(data), SizeofResource(instance, found)};
}

}  // namespace

LANGID ChooseUiLanguage() {
  const auto languages = BuiltInLanguages();
  return languages[LanguageForUiLanguage(GetUserDefaultUILanguage(), languages)].windowsLanguageId;
}

std::wstring ResourceCatalogue::Text(MessageId id) const {
  const auto block = FindData(
      instance_,
      FindResourceExW(instance_, RT_STRING, MAKEINTRESOURCEW(StringBlockName(id)), language_));
  std::wstring text = StringFromBlock(block, id % STRINGS_PER_BLOCK, TEXT_BUFFER_CHARS - 1);
  // The string tables break lines as Windows' controls need ("\r\n"); the logic composes texts
  // with "\n" and the view puts the "\r" back.
  std::erase(text, L'\r');
  return text;
}

std::span<const std::uint8_t> CarriedImage(HINSTANCE instance) {
  return FindData(instance, FindResourceW(instance, MAKEINTRESOURCEW(IDR_FIRMWARE), RT_RCDATA));
}

const DLGTEMPLATE* MainDialogTemplate(HINSTANCE instance) {
  const auto data =
      FindData(instance, FindResourceExW(instance, RT_DIALOG, MAKEINTRESOURCEW(IDD_MAIN),
                                         MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL)));
  return data.empty() ? nullptr : reinterpret_cast<const DLGTEMPLATE*>(data.data());
}

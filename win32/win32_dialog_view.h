#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "dialog/dialog_view.h"
#include "texts/message_catalogue.h"

// DialogView on the main dialog's window, attached once the window exists. The only place that
// knows which control shows what.
class Win32DialogView final : public DialogView {
 public:
  void Attach(HWND dialog) { dialog_ = dialog; }
  HWND window() const { return dialog_; }

  // The dialog's own texts in the catalogue's language, set once at start-up: the template
  // carries none, so that one template serves every language.
  void ShowCatalogueTexts(const Catalogue& texts);

  void ShowVersions(const VersionRows& rows) override;
  void EnableUpdate(bool on) override;
  void SetHint(std::wstring_view text) override;
  void AppendHint(std::wstring_view text) override;
  MessageAnswer ShowMessage(std::wstring_view text, std::wstring_view caption, MessageIcon icon,
                            MessageButtons buttons) override;

 private:
  void SetItemText(int item, std::wstring_view text);
  void EnableItem(int item, bool on);

  HWND dialog_ = nullptr;
};

// `text` with every line break as "\r\n", as edit controls and message boxes need it.
std::wstring WindowsLineBreaks(std::wstring_view text);

#pragma once

#include <windows.h>

#include "ui/dialog_view.h"

// DialogView on the main dialog's window, attached once the window exists.
class Win32DialogView final : public DialogView {
 public:
  void Attach(HWND dialog) { dialog_ = dialog; }
  HWND window() const { return dialog_; }

  void SetItemText(int item, std::wstring_view text) override;
  void EnableItem(int item, bool on) override;
  void SetHint(std::wstring_view text) override;
  void AppendHint(std::wstring_view text) override;
  MessageAnswer ShowMessage(std::wstring_view text, std::wstring_view caption, MessageIcon icon,
                            MessageButtons buttons) override;

 private:
  HWND dialog_ = nullptr;
};

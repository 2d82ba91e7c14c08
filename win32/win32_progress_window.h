#pragma once

#include <windows.h>

#include "platform/win32/scoped_handle.h"
#include "update/progress_window.h"
#include "win32/win32_dialog_view.h"

// The transfer's progress bar: a top-level "msctls_progress32" window owned by the main dialog
// and centred on it. After each block it brings the program to the front once, the first time
// it finds the program in the foreground.
class Win32ProgressWindow final : public ProgressWindow {
 public:
  // `owner` is the main dialog's view; its window is looked up when the display opens.
  Win32ProgressWindow(HINSTANCE instance, const Win32DialogView& owner)
      : instance_(instance), owner_(owner) {}

  void Open(std::wstring_view title) override;
  void SetPosition(std::uint32_t percent) override;
  void Close() override;

 private:
  void ShowPosition(std::uint32_t percent);
  void RaiseOnceIfForeground();
  void RaiseBoth();

  HINSTANCE instance_;
  const Win32DialogView& owner_;
  WindowHandle window_;  // none when creation failed: the transfer goes on without it
  HWND remembered_ = nullptr;
};

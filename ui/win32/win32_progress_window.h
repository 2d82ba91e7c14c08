#pragma once

#include <windows.h>

#include "platform/win32/scoped_handle.h"
#include "update/progress_window.h"

// The transfer's progress bar: a top-level "msctls_progress32" window owned by the main dialog
// and centred on it.
class Win32ProgressWindow final : public ProgressWindow {
 public:
  void Open(std::wstring_view title) override;
  void SetPosition(std::uint32_t percent) override;
  void RaiseOnceIfForeground() override;
  void Close() override;

 private:
  void RaiseBoth();

  WindowHandle window_;  // none when creation failed: the transfer goes on without it
  HWND remembered_ = nullptr;
};

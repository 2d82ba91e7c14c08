#include "win32/win32_progress_window.h"

#include <commctrl.h>

#include <cstdint>
#include <string>

#include "win32/dialog_layout.h"
#include "win32/system_dpi.h"

namespace {

std::uintptr_t Id(HWND window) {
  return reinterpret_cast<std::uintptr_t>(window);
}

}  // namespace

void Win32ProgressWindow::Open(std::wstring_view title) {
  remembered_ = nullptr;
  window_.reset();
  const HWND dialog = owner_.window();
  RECT frame{};
  GetWindowRect(dialog, &frame);
  const Placement place =
      PlaceProgressWindow({frame.left, frame.top, frame.right, frame.bottom}, SystemDpi());
  // Neither WS_CHILD nor WS_POPUP: Windows gives such a top-level window a caption of its own,
  // without system menu or sizing frame.
  window_.reset(CreateWindowExW(0, PROGRESS_CLASSW, std::wstring(title).c_str(),
                                WS_VISIBLE | PBS_SMOOTH, place.x, place.y, place.width,
                                place.height, dialog, nullptr, instance_, nullptr));
  ShowPosition(0);
  RaiseBoth();
}

void Win32ProgressWindow::ShowPosition(std::uint32_t percent) {
  if (window_) {
    SendMessageW(window_.get(), PBM_SETPOS, percent, 0);
  }
}

void Win32ProgressWindow::SetPosition(std::uint32_t percent) {
  ShowPosition(percent);
  RaiseOnceIfForeground();
}

void Win32ProgressWindow::RaiseOnceIfForeground() {
  const HWND dialog = owner_.window();
  const HWND foreground = GetForegroundWindow();
  if (!ShouldRaiseProgress(Id(remembered_), Id(foreground), Id(dialog), Id(window_.get()))) {
    return;
  }
  remembered_ = foreground;
  RaiseBoth();
  ShowWindow(dialog, SW_SHOW);
  if (window_) {
    ShowWindow(window_.get(), SW_SHOW);
  }
}

void Win32ProgressWindow::Close() {
  window_.reset();
}

void Win32ProgressWindow::RaiseBoth() {
  SetWindowPos(owner_.window(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  if (window_) {
    SetWindowPos(window_.get(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  }
}

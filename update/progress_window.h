#pragma once

#include <cstdint>
#include <string_view>

// The transfer's progress display: a window on Windows, a bar or lines on a terminal, a bar on a
// page.
class ProgressWindow {
 public:
  virtual ~ProgressWindow() = default;
  // A fresh display at position 0, shown with the main window.
  virtual void Open(std::wstring_view title) = 0;
  // Called once after every block written, with the share of the image sent so far.
  virtual void SetPosition(std::uint32_t percent) = 0;
  virtual void Close() = 0;
};

#pragma once

#include <cstdint>
#include <string_view>

// The transfer's progress display.
class ProgressWindow {
 public:
  virtual ~ProgressWindow() = default;
  // A fresh display at position 0 with an empty foreground memory, raised with the main dialog.
  virtual void Open(std::wstring_view title) = 0;
  virtual void SetPosition(std::uint32_t percent) = 0;
  virtual void RaiseOnceIfForeground() = 0;
  virtual void Close() = 0;
};

void BindProgressWindow(ProgressWindow* window);
ProgressWindow& Progress();

#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/timeline.h"
#include "update/progress_window.h"

// Records what the transfer shows; positions and the open/closed state are kept for checks.
class RecordingProgress : public ProgressWindow {
 public:
  explicit RecordingProgress(Timeline& timeline) : timeline_(timeline) {}

  void Open(std::wstring_view title) override {
    titles.emplace_back(title);
    open = true;
    timeline_.Note("progress open");
  }
  void SetPosition(std::uint32_t percent) override {
    positions.push_back(percent);
    timeline_.Note("progress " + std::to_string(percent));
  }
  void Close() override {
    ++closes;
    open = false;
    timeline_.Note("progress close");
    if (onClose) {
      onClose();
    }
  }

  std::vector<std::wstring> titles;
  std::vector<std::uint32_t> positions;
  int closes = 0;
  bool open = false;
  // Runs inside Close, e.g. to unplug the unit as a user might meanwhile.
  std::function<void()> onClose;

 private:
  Timeline& timeline_;
};

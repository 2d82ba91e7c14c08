#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "cli/text_console.h"
#include "texts/message_catalogue.h"
#include "update/progress_window.h"

// The transfer's progress on the command line, on the error stream: on a terminal one line
// redrawn in place (bar, percent, blocks, elapsed and remaining time) that always fits the
// terminal's width as it is at that moment, otherwise a plain line at every tenth of the way.
class TerminalProgress final : public ProgressWindow {
 public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;

  // `totalBlocks`: how many blocks the transfer sends (one SetPosition follows each).
  TerminalProgress(TextConsole& console, const Catalogue& texts, std::size_t totalBlocks,
                   Clock clock = &std::chrono::steady_clock::now);

  void Open(std::wstring_view title) override;
  void SetPosition(std::uint32_t percent) override;
  void Close() override;

  // The line for `percent` within `width` columns (0: no limit, no bar).
  std::wstring Line(std::uint32_t percent, std::size_t width) const;

 private:
  void Redraw(std::uint32_t percent, int columns);

  TextConsole& console_;
  const Catalogue& texts_;
  std::size_t totalBlocks_;
  Clock clock_;
  std::chrono::steady_clock::time_point started_{};
  std::chrono::steady_clock::time_point lastDrawn_{};
  std::size_t blocks_ = 0;
  std::uint32_t lastPercent_ = 0;
  std::size_t drawnWidth_ = 0;  // of the line now on the terminal
  bool open_ = false;
  bool barShown_ = false;
};

#include "cli/terminal_progress.h"

#include <algorithm>

namespace {

constexpr std::size_t MAX_BAR = 30;  // the bar's cells when there is room
constexpr std::size_t MIN_BAR = 10;  // fewer cells tell too little: then no bar at all
// A terminal is redrawn at most this often unless the percentage changes.
constexpr auto REDRAW_INTERVAL = std::chrono::milliseconds(250);

std::wstring MinutesSeconds(std::chrono::steady_clock::duration duration) {
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(duration).count();
  const auto rest = seconds % 60;
  return std::to_wstring(seconds / 60) + (rest < 10 ? L":0" : L":") + std::to_wstring(rest);
}

}  // namespace

TerminalProgress::TerminalProgress(TextConsole& console, const Catalogue& texts,
                                   std::size_t totalBlocks, Clock clock)
    : console_(console), texts_(texts), totalBlocks_(totalBlocks), clock_(std::move(clock)) {}

void TerminalProgress::Open(std::wstring_view title) {
  open_ = true;
  barShown_ = false;
  blocks_ = 0;
  lastPercent_ = 0;
  drawnWidth_ = 0;
  started_ = clock_();
  lastDrawn_ = started_;
  // A blank line sets the transfer apart from the questions before it.
  console_.Err(L"\n" + std::wstring(title) + L"\n");
  if (const int columns = console_.ProgressColumns(); columns > 0) {
    Redraw(0, columns);
    barShown_ = true;
  }
}

std::wstring TerminalProgress::Line(std::uint32_t percent, std::size_t width) const {
  const std::wstring number = std::to_wstring(percent);
  const std::wstring percentText =
      std::wstring(3 - std::min<std::size_t>(3, number.size()), L' ') + number + L"%";
  const auto elapsed = clock_() - started_;
  const std::wstring blocks = L"  " + std::to_wstring(blocks_) + L"/" +
                              std::to_wstring(totalBlocks_) + L" " + texts_.Text(IDS_CLI_BLOCKS);
  const std::wstring elapsedText =
      L"  " + MinutesSeconds(elapsed) + L" " + texts_.Text(IDS_CLI_ELAPSED);
  std::wstring left;
  if (blocks_ > 0 && blocks_ < totalBlocks_) {
    left = L"  " +
           MinutesSeconds(elapsed / static_cast<long>(blocks_) *
                          static_cast<long>(totalBlocks_ - blocks_)) +
           L" " + texts_.Text(IDS_CLI_REMAINING);
  }
  // When the terminal is narrow or a language's words are long, the parts give way in this
  // order: the elapsed time, the block count, the remaining time; the percentage stays.
  const auto text = [&](int detail) {
    return percentText + (detail >= 2 ? blocks : L"") + (detail >= 3 ? elapsedText : L"") +
           (detail >= 1 ? left : L"");
  };
  if (width == 0) {
    return text(3);
  }
  int detail = 3;
  while (detail > 0 && text(detail).size() + MIN_BAR + 3 > width) {
    --detail;
  }
  std::wstring line = text(detail);
  if (line.size() + MIN_BAR + 3 <= width) {
    const std::size_t cells = std::min(MAX_BAR, width - line.size() - 3);
    const std::size_t filled = cells * percent / 100;
    line = L"[" + std::wstring(filled, L'#') + std::wstring(cells - filled, L'.') + L"] " + line;
  } else if (line.size() > width) {
    line = percentText;
  }
  return line;
}

void TerminalProgress::Redraw(std::uint32_t percent, int columns) {
  // One column short of the width: a line that fills the last column wraps on many terminals.
  const std::size_t width = static_cast<std::size_t>(std::max(columns - 1, 1));
  const std::wstring line = Line(percent, width);
  // Spaces over what a longer line before it left, never past the width.
  const std::size_t pad =
      std::min(drawnWidth_, width) > line.size() ? std::min(drawnWidth_, width) - line.size() : 0;
  console_.Err(L"\r" + line + std::wstring(pad, L' '));
  drawnWidth_ = line.size();
}

void TerminalProgress::SetPosition(std::uint32_t percent) {
  if (!open_) {
    return;
  }
  ++blocks_;
  const std::uint32_t previous = lastPercent_;
  lastPercent_ = percent;
  if (barShown_) {
    const auto now = clock_();
    if (percent == previous && now - lastDrawn_ < REDRAW_INTERVAL && blocks_ != totalBlocks_) {
      return;
    }
    lastDrawn_ = now;
    // The width is read at every redraw, so a resized terminal is followed at once.
    Redraw(percent, std::max(console_.ProgressColumns(), 1));
    return;
  }
  if (percent / 10 != previous / 10) {
    console_.Err(Line(percent, 0) + L"\n");
  }
}

void TerminalProgress::Close() {
  if (open_ && barShown_) {
    console_.Err(L"\n");
  }
  open_ = false;
}

#include "cli/terminal_progress.h"

namespace {

constexpr std::size_t BAR_WIDTH = 30;
// A terminal is redrawn at most this often unless the percentage changes.
constexpr auto REDRAW_INTERVAL = std::chrono::milliseconds(250);

std::wstring MinutesSeconds(std::chrono::steady_clock::duration duration) {
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(duration).count();
  const auto rest = seconds % 60;
  return std::to_wstring(seconds / 60) + (rest < 10 ? L":0" : L":") + std::to_wstring(rest);
}

}  // namespace

TerminalProgress::TerminalProgress(Console& console, const Catalogue& texts,
                                   std::size_t totalBlocks, Clock clock)
    : console_(console), texts_(texts), totalBlocks_(totalBlocks), clock_(std::move(clock)) {}

void TerminalProgress::Open(std::wstring_view title) {
  open_ = true;
  barShown_ = false;
  blocks_ = 0;
  lastPercent_ = 0;
  started_ = clock_();
  lastDrawn_ = started_;
  // A blank line sets the transfer apart from the questions before it.
  console_.Out(L"\n" + std::wstring(title) + L"\n");
  if (console_.OutputIsTerminal()) {
    console_.Out(L"\r" + Line(0, true));
    barShown_ = true;
  }
}

std::wstring TerminalProgress::Line(std::uint32_t percent, bool withBar) const {
  std::wstring line;
  if (withBar) {
    const std::size_t filled = BAR_WIDTH * percent / 100;
    line = L"[" + std::wstring(filled, L'#') + std::wstring(BAR_WIDTH - filled, L'.') + L"] ";
  }
  const std::wstring number = std::to_wstring(percent);
  line += std::wstring(3 - std::min<std::size_t>(3, number.size()), L' ') + number + L"%  ";
  line += std::to_wstring(blocks_) + L"/" + std::to_wstring(totalBlocks_) + L" " +
          texts_.Text(IDS_CLI_BLOCKS);
  const auto elapsed = clock_() - started_;
  line += L"  " + MinutesSeconds(elapsed) + L" " + texts_.Text(IDS_CLI_ELAPSED);
  if (blocks_ > 0 && blocks_ < totalBlocks_) {
    const auto left =
        elapsed / static_cast<long>(blocks_) * static_cast<long>(totalBlocks_ - blocks_);
    line += L"  " + MinutesSeconds(left) + L" " + texts_.Text(IDS_CLI_REMAINING);
  }
  return line;
}

void TerminalProgress::SetPosition(std::uint32_t percent) {
  if (!open_) {
    return;
  }
  ++blocks_;
  const std::uint32_t previous = lastPercent_;
  lastPercent_ = percent;
  if (console_.OutputIsTerminal()) {
    const auto now = clock_();
    if (percent == previous && now - lastDrawn_ < REDRAW_INTERVAL) {
      return;
    }
    lastDrawn_ = now;
    // Padded, so a line that got shorter leaves nothing of the previous one behind.
    console_.Out(L"\r" + Line(percent, true) + L"   ");
    return;
  }
  if (percent / 10 != previous / 10) {
    console_.Out(Line(percent, false) + L"\n");
  }
}

void TerminalProgress::Close() {
  if (open_ && barShown_) {
    console_.Out(L"\n");
  }
  open_ = false;
}

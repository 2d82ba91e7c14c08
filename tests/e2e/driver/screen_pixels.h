// Reading the screen the way a user sees it: pixels of a rectangle, the ink of a text in it,
// the standard icon a message box shows.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace e2e {

// A rectangle of the screen as 0x00RRGGBB values, row by row from the top.
struct ScreenPixels {
  int width = 0, height = 0;
  std::vector<std::uint32_t> pixels;
  std::uint32_t at(int x, int y) const {
    return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                  static_cast<std::size_t>(x)];
  }
};

// The screen inside `r` (screen coordinates).
ScreenPixels CaptureScreen(const RECT& r);

// 0x00RRGGBB of a COLORREF, as ScreenPixels holds colours.
std::uint32_t Rgb(COLORREF c);

// The ink columns (anything but the background) of `pixels`, leaving `inset` columns and rows at
// each side out; first and last are -1 when there is none.
struct InkSpan {
  int first = -1, last = -1;
  int width() const { return first < 0 ? 0 : last - first + 1; }
};

InkSpan InkOf(const ScreenPixels& pixels, std::uint32_t background, int inset);

// The ink `text` makes when drawn alone in the dialog's font at `dpi`: the font the dialog
// manager makes from the template (8 points, MS Shell Dlg), drawn by the same GDI.
int InkOfWholeText(const std::wstring& text, int dpi);

// The logo as the main dialog is to draw it: bitmap `logo` of `program` loaded afresh, stretched
// from its whole size to `width` x `height` onto `background` with pure green transparent
// (TransparentBlt), as a fresh paint would. Empty when the bitmap cannot be loaded.
ScreenPixels DrawnLogo(HMODULE program, int logo, int width, int height, std::uint32_t background);

// How many pixels differ; SIZE_MAX when the sizes differ.
std::size_t DifferentPixels(const ScreenPixels& a, const ScreenPixels& b);

// Which standard icon a message box shows ("error", "warning", "information", "question"), by
// the pixels of its icon control; "none", "unreadable" or "unknown" otherwise.
std::string BoxIcon(HWND box);

}  // namespace e2e

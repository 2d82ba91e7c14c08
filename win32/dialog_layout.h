#pragma once

#include <cstdint>

// Window geometry of the main dialog's logo and of the progress window, kept free of Win32 so
// that the arithmetic is tested on the host. Rectangles are in screen pixels.
struct ScreenRect {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;
};

struct Placement {
  std::int32_t x = 0;
  std::int32_t y = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;

  bool operator==(const Placement&) const = default;
};

// Where the logo is drawn in the dialog's client area: right of the version group box, level
// with its top edge, at most half the bitmap's width, aspect ratio kept.
Placement PlaceLogo(const ScreenRect& dialog, const ScreenRect& versionGroup,
                    std::int32_t bitmapWidth, std::int32_t bitmapHeight,
                    std::int32_t dialogFrameWidth, std::int32_t captionHeight);

// The progress window's size at 96 DPI.
inline constexpr std::int32_t PROGRESS_WINDOW_WIDTH = 400;
inline constexpr std::int32_t PROGRESS_WINDOW_HEIGHT = 50;

// The progress window at the system DPI, centred on the main dialog.
Placement PlaceProgressWindow(const ScreenRect& dialog, std::int32_t dpi);

// Whether RaiseOnceIfForeground raises now: nothing raised yet in this transfer (the remembered
// window is neither of the two) and one of the two is in the foreground.
bool ShouldRaiseProgress(std::uintptr_t remembered, std::uintptr_t foreground,
                         std::uintptr_t mainDialog, std::uintptr_t progressWindow);

#include "win32/dialog_layout.h"

#include <algorithm>

#include "win32/dpi_scale.h"

Placement PlaceLogo(const ScreenRect& dialog, const ScreenRect& versionGroup,
                    std::int32_t bitmapWidth, std::int32_t bitmapHeight,
                    std::int32_t dialogFrameWidth, std::int32_t captionHeight) {
  Placement logo;
  logo.x = versionGroup.right - (dialog.left + dialogFrameWidth) + 20;
  logo.y = versionGroup.top - (dialog.top + captionHeight);
  logo.width = std::min(bitmapWidth / 2, dialog.right - versionGroup.right - 45);
  if (bitmapWidth != 0) {
    logo.height =
        static_cast<std::int32_t>(static_cast<float>(logo.width) / static_cast<float>(bitmapWidth) *
                                  static_cast<float>(bitmapHeight));
  }
  return logo;
}

Placement PlaceProgressWindow(const ScreenRect& dialog, std::int32_t dpi) {
  const std::int32_t width = ScaleForDpi(PROGRESS_WINDOW_WIDTH, dpi);
  const std::int32_t height = ScaleForDpi(PROGRESS_WINDOW_HEIGHT, dpi);
  // Halves by arithmetic shift, as for any signed screen coordinate.
  return {dialog.left + ((dialog.right - dialog.left) >> 1) - width / 2,
          dialog.top + ((dialog.bottom - dialog.top) >> 1) - height / 2, width, height};
}

bool ShouldRaiseProgress(std::uintptr_t remembered, std::uintptr_t foreground,
                         std::uintptr_t mainDialog, std::uintptr_t progressWindow) {
  const bool raisedAlready = remembered == mainDialog || remembered == progressWindow;
  const bool ours = foreground == mainDialog || foreground == progressWindow;
  return !raisedAlready && ours;
}

#pragma once

#include <windows.h>

#include "platform/win32/scoped_handle.h"
#include "win32/dialog_layout.h"

// The main dialog's logo: bitmap IDB_LOGO stretched to its place by TransparentBlt with pure
// green as the transparent colour. The stretch is made once, at the first paint, and kept for
// the dialog's life, so that a paint no longer loads and stretches the 1.4 MB bitmap: that took
// about 20 ms of the start-up under Wine, and the dialog counts as shown only once painted.
class DialogLogo {
 public:
  // Draws the logo into the paint context of `dialog`; nothing when the bitmap cannot be read.
  void Paint(HINSTANCE instance, HWND dialog, HDC dc);

 private:
  // Stretches the bitmap to the size it takes in `dialog` now; false when that fails.
  bool Prepare(HINSTANCE instance, HWND dialog, HDC dc);

  BitmapHandle stretched_;  // the logo at its drawn size, pure green where nothing is drawn
  Placement place_;
  int bitmapWidth_ = 0;
  int bitmapHeight_ = 0;
};

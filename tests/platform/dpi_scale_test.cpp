#include "win32/dpi_scale.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>

#include "win32/dialog_layout.h"

namespace {

TEST(DpiScale, ScalesSizesFor96DpiRoundingLikeMulDiv) {
  struct Case {
    std::int32_t pixels;
    std::int32_t dpi;
    std::int32_t expected;
  };
  const Case cases[] = {
      {400, 96, 400},   // 96 DPI changes nothing
      {50, 96, 50},     //
      {400, 144, 600},  //
      {50, 144, 75},    //
      {400, 192, 800},  //
      {50, 192, 100},   //
      {50, 120, 63},    // 62.5: a half rounds up
      {50, 168, 88},    // 87.5
      {-7, 144, -11},   // -10.5: a half rounds away from zero, as MulDiv does
      {0, 192, 0},      //
      {400, 0, 400},    // an unknown DPI leaves the size
      {400, -96, 400},  //
  };

  for (const Case& c : cases) {
    EXPECT_EQ(ScaleForDpi(c.pixels, c.dpi), c.expected) << c.pixels << " px at " << c.dpi;
  }
}

TEST(DpiScale, PlacesTheProgressWindowScaledAndCentred) {
  const ScreenRect dialog{100, 50, 556, 430};
  EXPECT_EQ(PlaceProgressWindow(dialog, 96), (Placement{128, 215, 400, 50}));
  EXPECT_EQ(PlaceProgressWindow(dialog, 144), (Placement{28, 203, 600, 75}));
  EXPECT_EQ(PlaceProgressWindow(dialog, 192), (Placement{-72, 190, 800, 100}));
}

// At every DPI the window keeps its 8:1 shape (to the rounding of its height) and its centre on
// the dialog's centre (to the pixel the halving drops).
TEST(DpiScale, ProgressWindowKeepsItsProportionsAndCentringAtEveryDpi) {
  const ScreenRect dialogs[] = {{100, 50, 556, 430}, {0, 0, 457, 331}, {-501, -301, -100, -100}};
  for (std::int32_t dpi = 96; dpi <= 288; dpi += 12) {
    for (const ScreenRect& dialog : dialogs) {
      const Placement window = PlaceProgressWindow(dialog, dpi);
      EXPECT_EQ(window.width, ScaleForDpi(400, dpi)) << dpi;
      EXPECT_LE(std::abs(window.width - 8 * window.height), 8) << dpi;
      // Twice the centres, to stay in whole pixels.
      const std::int32_t dialogX = dialog.left + dialog.right;
      const std::int32_t dialogY = dialog.top + dialog.bottom;
      EXPECT_LE(std::abs(2 * window.x + window.width - dialogX), 2) << dpi;
      EXPECT_LE(std::abs(2 * window.y + window.height - dialogY), 2) << dpi;
    }
  }
}

}  // namespace

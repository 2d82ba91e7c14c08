#include "win32/dialog_layout.h"

#include <gtest/gtest.h>

#include <ostream>

#include <cstdint>
#include <string>

namespace {

constexpr std::int32_t LOGO_WIDTH = 1772;
constexpr std::int32_t LOGO_HEIGHT = 263;

struct LogoCase {
  const char* name;
  ScreenRect dialog;
  ScreenRect group;
  std::int32_t bitmapWidth;
  std::int32_t bitmapHeight;
  Placement expected;
};

void PrintTo(const LogoCase& c, std::ostream* out) {
  *out << c.name;
}

class LogoPlacementTest : public testing::TestWithParam<LogoCase> {};

TEST_P(LogoPlacementTest, FollowsTheDialogAndGroupBox) {
  const LogoCase& c = GetParam();
  // Frame 3 and caption 19 pixels, the classic metrics.
  EXPECT_EQ(PlaceLogo(c.dialog, c.group, c.bitmapWidth, c.bitmapHeight, 3, 19), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Dialogs, LogoPlacementTest,
    testing::Values(
        // x = 340 - (100 + 3) + 20; y = 90 - (50 + 19); w = 556 - 340 - 45; h = 171 / 1772 * 263.
        LogoCase{"NarrowDialogShrinksTheLogo",
                 {100, 50, 556, 430},
                 {115, 90, 340, 190},
                 LOGO_WIDTH,
                 LOGO_HEIGHT,
                 {257, 21, 171, 25}},
        // Room for more than half the bitmap: half its width, 886 / 1772 * 263 = 131.5 -> 131.
        LogoCase{"WideDialogShowsHalfTheBitmap",
                 {0, 0, 2000, 600},
                 {15, 40, 240, 140},
                 LOGO_WIDTH,
                 LOGO_HEIGHT,
                 {257, 21, 886, 131}},
        LogoCase{"DialogLeftOfTheScreenOrigin",
                 {-900, -300, -444, 80},
                 {-885, -260, -660, -160},
                 LOGO_WIDTH,
                 LOGO_HEIGHT,
                 {257, 21, 171, 25}},
        // 210 / 1000 * 300 is 62.99... in single precision: truncated to 62, not 63.
        LogoCase{"HeightIsComputedInSinglePrecision",
                 {0, 0, 455, 400},
                 {10, 30, 200, 130},
                 1000,
                 300,
                 {217, 11, 210, 62}},
        LogoCase{"NoRoomGivesNoWidth",
                 {0, 0, 250, 400},
                 {10, 30, 240, 130},
                 LOGO_WIDTH,
                 LOGO_HEIGHT,
                 {257, 11, -35, -5}},
        LogoCase{"EmptyBitmapGivesNoHeight",
                 {100, 50, 556, 430},
                 {115, 90, 340, 190},
                 0,
                 0,
                 {257, 21, 0, 0}}),
    [](const testing::TestParamInfo<LogoCase>& info) { return std::string(info.param.name); });

TEST(LogoPlacement, KeepsTheAspectRatioWhileShrinking) {
  for (std::int32_t room = 20; room <= 886; room += 37) {
    const ScreenRect dialog{0, 0, 300 + room, 400};
    const Placement logo = PlaceLogo(dialog, {10, 30, 255, 130}, LOGO_WIDTH, LOGO_HEIGHT, 3, 19);
    ASSERT_EQ(logo.width, room);
    const double exact = static_cast<double>(room) * LOGO_HEIGHT / LOGO_WIDTH;
    EXPECT_LE(logo.height, exact) << "room " << room;
    EXPECT_GT(logo.height, exact - 1.0) << "room " << room;
  }
}

struct ProgressCase {
  const char* name;
  ScreenRect dialog;
  std::int32_t x;
  std::int32_t y;
};

void PrintTo(const ProgressCase& c, std::ostream* out) {
  *out << c.name;
}

class ProgressPlacementTest : public testing::TestWithParam<ProgressCase> {};

TEST_P(ProgressPlacementTest, CentresA400By50WindowAt96Dpi) {
  const ProgressCase& c = GetParam();
  EXPECT_EQ(PlaceProgressWindow(c.dialog, 96), (Placement{c.x, c.y, 400, 50}));
}

INSTANTIATE_TEST_SUITE_P(
    Dialogs, ProgressPlacementTest,
    testing::Values(ProgressCase{"EvenSize", {100, 50, 556, 430}, 128, 215},
                    ProgressCase{"OddSizeRoundsDown", {0, 0, 457, 331}, 28, 140},
                    ProgressCase{"NegativeScreenPosition", {-501, -301, -100, -100}, -501, -226},
                    // An inverted rectangle halves by arithmetic shift: -5 >> 1 is -3, not -2.
                    ProgressCase{
                        "InvertedRectangleShiftsArithmetically", {10, 10, 5, 5}, -193, -18}),
    [](const testing::TestParamInfo<ProgressCase>& info) { return std::string(info.param.name); });

struct RaiseCase {
  const char* name;
  std::uintptr_t remembered;
  std::uintptr_t foreground;
  std::uintptr_t progress;
  bool raise;
};

void PrintTo(const RaiseCase& c, std::ostream* out) {
  *out << c.name;
}

constexpr std::uintptr_t MAIN = 0x100;
constexpr std::uintptr_t PROGRESS = 0x200;
constexpr std::uintptr_t OTHER_APP = 0x300;

class RaiseOnceTest : public testing::TestWithParam<RaiseCase> {};

TEST_P(RaiseOnceTest, RaisesOnlyTheFirstTimeTheProgramIsInFront) {
  const RaiseCase& c = GetParam();
  EXPECT_EQ(ShouldRaiseProgress(c.remembered, c.foreground, MAIN, c.progress), c.raise);
}

INSTANTIATE_TEST_SUITE_P(
    Moments, RaiseOnceTest,
    testing::Values(RaiseCase{"FirstBlockWithDialogInFront", 0, MAIN, PROGRESS, true},
                    RaiseCase{"FirstBlockWithProgressInFront", 0, PROGRESS, PROGRESS, true},
                    RaiseCase{"AnotherProgramInFront", 0, OTHER_APP, PROGRESS, false},
                    RaiseCase{"NothingInFront", 0, 0, PROGRESS, false},
                    RaiseCase{"AlreadyRaisedWithDialog", MAIN, MAIN, PROGRESS, false},
                    RaiseCase{"AlreadyRaisedWithProgress", PROGRESS, MAIN, PROGRESS, false},
                    RaiseCase{"StaleMemoryFromAnotherWindow", OTHER_APP, PROGRESS, PROGRESS, true},
                    // Without a progress window the memory (none) already equals it.
                    RaiseCase{"NoProgressWindowRaisesNothing", 0, MAIN, 0, false}),
    [](const testing::TestParamInfo<RaiseCase>& info) { return std::string(info.param.name); });

}  // namespace

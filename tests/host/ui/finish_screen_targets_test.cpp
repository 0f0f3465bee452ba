#include "ui/finish_screen_targets.h"

#include <gtest/gtest.h>

#include "ui/screen_layout.h"
#include "ui/setup_window_state.h"

namespace velmora {
namespace {

struct HitCase {
  int x;
  int y;
  int width;
  int height;
  FinishTarget expected;
};

class HitTestFinishScreenTest : public ::testing::TestWithParam<HitCase> {};

TEST_P(HitTestFinishScreenTest, PointLandsOnItsTarget) {
  const HitCase& c = GetParam();
  EXPECT_EQ(HitTestFinishScreen(c.x, c.y, c.width, c.height), c.expected)
      << "(" << c.x << ", " << c.y << ") in " << c.width << " x " << c.height;
}

INSTANTIATE_TEST_SUITE_P(Points, HitTestFinishScreenTest,
                         ::testing::Values(
                             // Boxes, labels and their inclusive edges.
                             HitCase{32, 144, 520, 340, FinishTarget::LaunchOption},
                             HitCase{52, 164, 520, 340, FinishTarget::LaunchOption},
                             HitCase{64, 150, 520, 340, FinishTarget::LaunchOption},
                             HitCase{394, 164, 520, 340, FinishTarget::LaunchOption},
                             HitCase{395, 150, 520, 340, FinishTarget::NoTarget},
                             HitCase{32, 180, 520, 340, FinishTarget::ShortcutOption},
                             HitCase{424, 200, 520, 340, FinishTarget::ShortcutOption},
                             HitCase{425, 190, 520, 340, FinishTarget::NoTarget},
                             HitCase{200, 201, 520, 340, FinishTarget::NoTarget},
                             // The 12-pixel gap between box and label, and the space between the rows.
                             HitCase{53, 150, 520, 340, FinishTarget::NoTarget},
                             HitCase{63, 190, 520, 340, FinishTarget::NoTarget},
                             HitCase{40, 170, 520, 340, FinishTarget::NoTarget},
                             HitCase{31, 150, 520, 340, FinishTarget::NoTarget},
                             // The button at 520 x 340 spans x 348..488 and y 264..308.
                             HitCase{348, 264, 520, 340, FinishTarget::FinishButton},
                             HitCase{488, 308, 520, 340, FinishTarget::FinishButton},
                             HitCase{347, 280, 520, 340, FinishTarget::NoTarget},
                             HitCase{489, 280, 520, 340, FinishTarget::NoTarget},
                             HitCase{400, 263, 520, 340, FinishTarget::NoTarget},
                             HitCase{400, 309, 520, 340, FinishTarget::NoTarget},
                             // A smaller client keeps the options in place and moves only the button.
                             HitCase{328, 140, 500, 177, FinishTarget::FinishButton},
                             HitCase{348, 264, 500, 177, FinishTarget::NoTarget},
                             HitCase{32, 144, 500, 177, FinishTarget::LaunchOption},
                             // Negative points (the mouse left through the top left) hit nothing.
                             HitCase{-1, -1, 520, 340, FinishTarget::NoTarget}));

// Without a signed-in user to act for, the options are not on the screen: their places hit
// nothing, and the button stays where it is.
TEST(HitTestFinishScreenWithoutOptions, OnlyTheButtonIsATarget) {
  for (const HitCase& c : {HitCase{32, 144, 520, 340, FinishTarget::NoTarget},
                           HitCase{100, 150, 520, 340, FinishTarget::NoTarget},
                           HitCase{32, 180, 520, 340, FinishTarget::NoTarget},
                           HitCase{424, 200, 520, 340, FinishTarget::NoTarget},
                           HitCase{348, 264, 520, 340, FinishTarget::FinishButton},
                           HitCase{488, 308, 520, 340, FinishTarget::FinishButton}}) {
    EXPECT_EQ(HitTestFinishScreen(c.x, c.y, c.width, c.height, 1.0f, false), c.expected)
        << "(" << c.x << ", " << c.y << ")";
  }
  // The keyboard cannot reach them either: Tab and Shift+Tab stay on Finish.
  EXPECT_EQ(NextFocus(FinishTarget::NoTarget, false, false), FinishTarget::FinishButton);
  EXPECT_EQ(NextFocus(FinishTarget::FinishButton, false, false), FinishTarget::FinishButton);
  EXPECT_EQ(NextFocus(FinishTarget::FinishButton, true, false), FinishTarget::FinishButton);
}

// At 150 % and 200 % the targets are the 96-DPI ones scaled, edges included, and the button
// keeps its scaled distance from the bottom-right corner.
TEST(HitTestFinishScreenScaled, TargetsAreTheLogicalRectanglesScaled) {
  const struct {
    float scale;
    int x;
    int y;
    int width;
    int height;
    FinishTarget expected;
  } cases[] = {
      {1.5f, 48, 216, 780, 510, FinishTarget::LaunchOption},  // launch box corner
      {1.5f, 78, 246, 780, 510, FinishTarget::LaunchOption},  // its far corner
      {1.5f, 79, 230, 780, 510, FinishTarget::NoTarget},      // the gap, scaled to 18 pixels
      {1.5f, 95, 230, 780, 510, FinishTarget::NoTarget},
      {1.5f, 96, 230, 780, 510, FinishTarget::LaunchOption},   // the label's left edge
      {1.5f, 591, 246, 780, 510, FinishTarget::LaunchOption},  // its far corner, 394 x 1.5
      {1.5f, 592, 230, 780, 510, FinishTarget::NoTarget},
      {1.5f, 52, 164, 780, 510, FinishTarget::NoTarget},         // a 96-DPI point of the box
      {1.5f, 636, 300, 780, 510, FinishTarget::ShortcutOption},  // shortcut label, 424 x 1.5
      {1.5f, 522, 396, 780, 510, FinishTarget::FinishButton},    // W - 258, H - 114
      {1.5f, 732, 462, 780, 510, FinishTarget::FinishButton},    // W - 48, H - 48
      {1.5f, 733, 430, 780, 510, FinishTarget::NoTarget},
      {2.0f, 64, 288, 1040, 680, FinishTarget::LaunchOption},
      {2.0f, 848, 400, 1040, 680, FinishTarget::ShortcutOption},
      {2.0f, 849, 400, 1040, 680, FinishTarget::NoTarget},
      {2.0f, 696, 528, 1040, 680, FinishTarget::FinishButton},
      {2.0f, 695, 528, 1040, 680, FinishTarget::NoTarget},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(HitTestFinishScreen(c.x, c.y, c.width, c.height, c.scale), c.expected)
        << "(" << c.x << ", " << c.y << ") at " << c.scale;
  }
}

TEST(ScreenLayout, ProgressAndFinishTextsSitWhereTheScreensHaveAlwaysDrawnThem) {
  const ProgressScreenLayout progress = LayOutProgressScreen(494.0f, 191.0f);
  const auto expectRect = [](const TargetRect& r, float x, float y, float w, float h) {
    EXPECT_FLOAT_EQ(r.x, x);
    EXPECT_FLOAT_EQ(r.y, y);
    EXPECT_FLOAT_EQ(r.width, w);
    EXPECT_FLOAT_EQ(r.height, h);
  };
  expectRect(progress.title, 32, 26, 430, 32);
  expectRect(progress.status, 32, 64, 430, 53);
  expectRect(progress.track, 32, 127, 430, 8);
  expectRect(progress.footer, 32, 151, 430, 18);
  // A client of 162 or less gives the status its minimum height.
  EXPECT_FLOAT_EQ(LayOutProgressScreen(494.0f, 150.0f).status.height, 24.0f);
  const FinishScreenLayout finish = LayOutFinishScreen(514.0f);
  expectRect(finish.heading, 32, 28, 450, 42);
  expectRect(finish.body, 32, 76, 450, 58);
}

TEST(ScreenLayout, ScalingFollowsTheDpiAndRoundsLengthsToWholePixels) {
  EXPECT_FLOAT_EQ(ScaleForDpi(96), 1.0f);
  EXPECT_FLOAT_EQ(ScaleForDpi(144), 1.5f);
  EXPECT_FLOAT_EQ(ScaleForDpi(192), 2.0f);
  EXPECT_FLOAT_EQ(ScaleForDpi(120), 1.25f);
  EXPECT_EQ(ScaleLength(191, 1.5f), 287);   // 286.5 rounds up
  EXPECT_EQ(ScaleLength(494, 1.25f), 618);  // 617.5
  EXPECT_EQ(ScaleLength(494, 1.0f), 494);
  const TargetRect scaled = ScaleRect({32.0f, 144.0f, 20.0f, 20.0f}, 1.5f);
  EXPECT_FLOAT_EQ(scaled.x, 48.0f);
  EXPECT_FLOAT_EQ(scaled.y, 216.0f);
  EXPECT_FLOAT_EQ(scaled.width, 30.0f);
  EXPECT_FLOAT_EQ(scaled.height, 30.0f);
}

TEST(FinishTargetTable, HoldsTheFourFixedRectanglesInOrder) {
  const TargetRect launchBox = FinishTargetRect(FinishTargetPart::LaunchBox);
  const TargetRect shortcutLabel = FinishTargetRect(FinishTargetPart::ShortcutLabel);
  EXPECT_EQ(kFinishTargetTable.size(), 16u);
  EXPECT_FLOAT_EQ(launchBox.x, 32.0f);
  EXPECT_FLOAT_EQ(launchBox.y, 144.0f);
  EXPECT_FLOAT_EQ(FinishTargetRect(FinishTargetPart::ShortcutBox).y, 180.0f);
  EXPECT_FLOAT_EQ(FinishTargetRect(FinishTargetPart::LaunchLabel).width, 330.0f);
  EXPECT_FLOAT_EQ(shortcutLabel.x, 64.0f);
  EXPECT_FLOAT_EQ(shortcutLabel.width, 360.0f);
  EXPECT_FLOAT_EQ(shortcutLabel.height, 20.0f);
  const TargetRect button = FinishButtonRect(520.0f, 340.0f);
  EXPECT_FLOAT_EQ(button.x, 348.0f);
  EXPECT_FLOAT_EQ(button.y, 264.0f);
  EXPECT_FLOAT_EQ(button.width, 140.0f);
  EXPECT_FLOAT_EQ(button.height, 44.0f);
}

TEST(SetupWindowStateRecord, StartsWithBothOptionsAndNothingElse) {
  const SetupWindowState fresh;
  EXPECT_TRUE(fresh.launchSelected);
  EXPECT_TRUE(fresh.shortcutSelected);
  EXPECT_FALSE(fresh.finishScreenShown);
  EXPECT_FALSE(fresh.finishing);
  EXPECT_FALSE(fresh.hoverLaunch || fresh.hoverShortcut || fresh.hoverFinish);
  EXPECT_FALSE(fresh.webView2Missing);
  EXPECT_TRUE(fresh.actionsOffered);
  EXPECT_EQ(fresh.focus, FinishTarget::LaunchOption);
  EXPECT_FALSE(fresh.focusCueShown);
  EXPECT_FALSE(fresh.cancelPromptOpen);
  EXPECT_TRUE(WindowState.launchSelected && WindowState.shortcutSelected);
  EXPECT_FALSE(WindowState.finishScreenShown || WindowState.webView2Missing);
}

TEST(FinishFocusOrder, TabGoesRoundTheThreeTargetsAndShiftTabGoesBack) {
  using T = FinishTarget;
  const struct {
    T from;
    T forward;
    T backward;
  } cases[] = {
      {T::LaunchOption, T::ShortcutOption, T::FinishButton},
      {T::ShortcutOption, T::FinishButton, T::LaunchOption},
      {T::FinishButton, T::LaunchOption, T::ShortcutOption},
      {T::NoTarget, T::LaunchOption, T::FinishButton},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(NextFocus(c.from, false), c.forward) << static_cast<int>(c.from);
    EXPECT_EQ(NextFocus(c.from, true), c.backward) << static_cast<int>(c.from);
  }
}

}  // namespace
}  // namespace velmora

#include "ui/finish_screen_targets.h"

#include <gtest/gtest.h>

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
    EXPECT_EQ(HitTestFinishScreen(c.x, c.y, c.width, c.height, false), c.expected)
        << "(" << c.x << ", " << c.y << ")";
  }
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
  EXPECT_TRUE(WindowState.launchSelected && WindowState.shortcutSelected);
  EXPECT_FALSE(WindowState.finishScreenShown || WindowState.webView2Missing);
}

}  // namespace
}  // namespace velmora

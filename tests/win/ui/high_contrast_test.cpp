// High contrast: the same shapes in the system's colours. Wine never reports high contrast
// (SPI_GETHIGHCONTRAST always answers off, and SPI_SETHIGHCONTRAST fails), so the switch is
// replaced at its seam; the colours are the system's own, read with GetSysColor.
#include <gtest/gtest.h>

#include "base/setup_state.h"
#include "ui/palette.h"
#include "ui/setup_window_state.h"
#include "ui_window_support.h"

namespace velmora {
namespace {

using test::Capture;
using test::Rgb;

std::uint32_t System(int index) {
  const COLORREF colour = GetSysColor(index);
  return (static_cast<std::uint32_t>(GetRValue(colour)) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
}

ScreenColorCalls HighContrastOn() {
  ScreenColorCalls calls;
  calls.highContrastOn = [] { return true; };
  return calls;
}

TEST(ScreenColors, DesignPaletteWhileHighContrastIsOff) {
  ScreenColorCalls calls;
  calls.highContrastOn = [] { return false; };
  const ScreenColors colors = CurrentScreenColors(calls);
  EXPECT_EQ(colors.ink, InkColor);
  EXPECT_EQ(colors.accent, AccentColor);
  EXPECT_EQ(colors.background, WhiteColor);
  // And off is what Wine's own answer gives.
  EXPECT_FALSE(SystemHighContrastOn());
  EXPECT_EQ(CurrentScreenColors().accent, AccentColor);
}

class HighContrastScreens : public ::testing::Test {
 protected:
  Capture Client() const { return test::CaptureClient(window_.Window()); }
  int W() const { return window_.ClientSize().cx; }
  int H() const { return window_.ClientSize().cy; }

  test::SetupWindowFixture window_{FinishCalls{}, HighContrastOn()};
};

TEST_F(HighContrastScreens, ProgressScreenFromAFakeSwitchUsesTheSystemColours) {
  window_.Post(WM_SETUP_PROGRESS, 50);
  const Capture c = Client();
  const int bar = H() - 60;
  EXPECT_EQ(c.At(5, 5), System(COLOR_WINDOW));
  EXPECT_EQ(c.At(32 + (W() - 64) / 4, bar), System(COLOR_HIGHLIGHT));
  EXPECT_EQ(c.At(32 + 3 * (W() - 64) / 4, bar), System(COLOR_GRAYTEXT));
  EXPECT_GT(c.PixelsOf(System(COLOR_WINDOWTEXT), 32, 26, W() - 64, 32), 100);
  EXPECT_GT(c.PixelsOf(System(COLOR_WINDOWTEXT), 32, H() - 40, W() - 64, 18), 20);
  for (const std::uint32_t design : {InkColor, MutedColor, TrackColor, AccentColor}) {
    EXPECT_EQ(c.PixelsOf(Rgb(design), 0, 0, W(), H()), 0) << std::hex << design;
  }
  EXPECT_NE(test::SaveScreenshot(test::CaptureWholeWindow(window_.Window()), test::ArtifactsFolder(),
                                 L"progress-screen-high-contrast"),
            L"");
}

TEST_F(HighContrastScreens, FinishScreenFromAFakeSwitchKeepsItsShapesInTheSystemColours) {
  SetupOperation.exchange(Operation::Install);
  window_.ShowFinishScreen();
  window_.ReleaseLeftButton(200, 190);  // clears the shortcut option
  const Capture c = Client();
  // Selected box: highlight face, highlight-text tick; cleared box: window face, text border.
  EXPECT_EQ(c.At(32 + 14, 144 + 15), System(COLOR_HIGHLIGHT));
  EXPECT_EQ(c.At(32 + 12, 144 + 10), System(COLOR_HIGHLIGHTTEXT));
  EXPECT_EQ(c.At(32 + 14, 180 + 15), System(COLOR_WINDOW));
  EXPECT_EQ(c.At(32, 180 + 10), System(COLOR_WINDOWTEXT));
  // The button face and its label.
  EXPECT_EQ(c.At(W() - 165, H() - 54), System(COLOR_HIGHLIGHT));
  EXPECT_GT(c.PixelsOf(System(COLOR_HIGHLIGHTTEXT), W() - 150, H() - 70, 96, 32), 0);
  EXPECT_GT(c.PixelsOf(System(COLOR_WINDOWTEXT), 64, 144, 330, 20), 50);
  for (const std::uint32_t design : {InkColor, MutedColor, AccentColor, BoxBorderColor}) {
    EXPECT_EQ(c.PixelsOf(Rgb(design), 0, 0, W(), H()), 0) << std::hex << design;
  }
  EXPECT_NE(test::SaveScreenshot(test::CaptureWholeWindow(window_.Window()), test::ArtifactsFolder(),
                                 L"finish-screen-high-contrast"),
            L"");
}

}  // namespace
}  // namespace velmora

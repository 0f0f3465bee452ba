// What the user sees: captures of the real window probed at the screens' own coordinates, and
// the screenshots kept as artefacts of the test run. Wine's GDI+ fills paths without partial
// coverage at these sizes, so a pixel inside an element has exactly the element's colour.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <thread>

#include "base/setup_state.h"
#include "ui/palette.h"
#include "ui/setup_window_state.h"
#include "ui_window_support.h"

namespace velmora {
namespace {

using test::Capture;
using test::Rgb;

class ScreenPixelsTest : public ::testing::Test {
 protected:
  Capture Client() const { return test::CaptureClient(window_.Window()); }
  int W() const { return window_.ClientSize().cx; }
  int H() const { return window_.ClientSize().cy; }
  // Middle row of the progress bar, which spans y H - 64 .. H - 56.
  int BarRow() const { return H() - 60; }
  int TrackWidth() const { return W() - 64; }

  void Screenshot(const wchar_t* name) {
    EXPECT_NE(test::SaveScreenshot(test::CaptureWholeWindow(window_.Window()), test::ArtifactsFolder(), name),
              L"");
  }

  test::SetupWindowFixture window_;
};

// The pixel tests below probe with the palette's names; these are the values those names
// must hold, written out so that a changed header cannot pass unnoticed.
TEST(Palette, ColoursAreTheDesignedArgbValues) {
  const struct {
    const char* name;
    std::uint32_t value;
    std::uint32_t argb;
  } colours[] = {
      {"InkColor", InkColor, 0xFF1E1E26},
      {"MutedColor", MutedColor, 0xFF6A6978},
      {"TrackColor", TrackColor, 0xFFEEEBF8},
      {"AccentColor", AccentColor, 0xFF7C5CFF},
      {"AccentHoverColor", AccentHoverColor, 0xFF8F70FF},
      {"BoxBorderColor", BoxBorderColor, 0xFFCDC9E0},
      {"WhiteColor", WhiteColor, 0xFFFFFFFF},
  };
  for (const auto& colour : colours) EXPECT_EQ(colour.value, colour.argb) << colour.name;
}

TEST_F(ScreenPixelsTest, ProgressFillCoversItsShareOfTheTrackInAccentAndTheRestStaysTrack) {
  window_.Post(WM_SETUP_PROGRESS, 50);
  const Capture c = Client();
  const int fillEnd = 32 + TrackWidth() / 2;
  EXPECT_EQ(c.At(32 + TrackWidth() / 4, BarRow()), Rgb(AccentColor));
  EXPECT_EQ(c.At(fillEnd - 2, BarRow()), Rgb(AccentColor));
  EXPECT_EQ(c.At(fillEnd + 2, BarRow()), Rgb(TrackColor));
  EXPECT_EQ(c.At(32 + 3 * TrackWidth() / 4, BarRow()), Rgb(TrackColor));
  // Above and below the 8-pixel bar the screen is white.
  EXPECT_EQ(c.At(32 + TrackWidth() / 4, H() - 66), Rgb(WhiteColor));
  EXPECT_EQ(c.At(32 + TrackWidth() / 4, H() - 54), Rgb(WhiteColor));
  // Half the bar's pixels, give or take the rounded ends, are accent.
  const int accent = c.PixelsOf(Rgb(AccentColor), 0, BarRow(), W(), 1);
  EXPECT_NEAR(accent, TrackWidth() / 2, 2);
}

TEST_F(ScreenPixelsTest, NoFillAtZeroAndAFullFillAtOneHundredAndFifty) {
  window_.Post(WM_SETUP_PROGRESS, 0);
  const Capture empty = Client();
  EXPECT_EQ(empty.PixelsOf(Rgb(AccentColor), 0, H() - 66, W(), 12), 0);
  EXPECT_EQ(empty.At(40, BarRow()), Rgb(TrackColor));
  EXPECT_EQ(empty.At(W() - 40, BarRow()), Rgb(TrackColor));

  window_.Post(WM_SETUP_PROGRESS, 100);
  const Capture full = Client();
  window_.Post(WM_SETUP_PROGRESS, 150);
  const Capture over = Client();
  EXPECT_EQ(over.PixelsOf(Rgb(TrackColor), 0, H() - 66, W(), 12), 0);
  EXPECT_EQ(over.At(W() - 40, BarRow()), Rgb(AccentColor));
  EXPECT_EQ(over.Crop(0, H() - 66, W(), 12), full.Crop(0, H() - 66, W(), 12));
}

TEST_F(ScreenPixelsTest, ProgressScreenShowsTitleStatusAndFooterText) {
  const Capture c = Client();
  // The title is bold ink; the status placeholder and the footer are muted text.
  EXPECT_GT(c.PixelsOf(Rgb(InkColor), 32, 26, W() - 64, 32), 100);
  EXPECT_GT(c.InkPixels(32, 64, W() - 64, 20), 50);
  EXPECT_EQ(c.PixelsOf(Rgb(InkColor), 32, 64, W() - 64, 20), 0);
  EXPECT_GT(c.InkPixels(32, H() - 40, W() - 64, 18), 50);
  // Nothing is drawn in the margins.
  EXPECT_EQ(c.InkPixels(0, 0, 30, H()), 0);
  EXPECT_EQ(c.InkPixels(0, 0, W(), 24), 0);
}

TEST_F(ScreenPixelsTest, StatusSetByTheWorkerIsDrawnOnTheNextPaint) {
  const Capture before = Client();
  std::thread worker([] { SetStatus(L"Downloading Velmora 1.1.7... 42%  (15.4 of 36.6 MB)"); });
  worker.join();
  test::PumpMessages();
  const Capture after = Client();
  EXPECT_NE(after.Crop(32, 64, W() - 64, 20), before.Crop(32, 64, W() - 64, 20));
  EXPECT_EQ(after.Crop(0, 0, W(), 60), before.Crop(0, 0, W(), 60));
}

// Status lines as the worker may set them, and which lines of the status box they ink. Wine's
// GDI+ does not stop a wrapped block at the bottom of its layout rectangle, so the height limit
// is not probed here; the width is.
TEST_F(ScreenPixelsTest, StatusWrapsAtLineFeedsAndAtTheBoxWidth) {
  const struct {
    const wchar_t* status;
    bool secondLineInked;
  } cases[] = {
      {L"Installing Velmora...", false},
      {L"Installing Velmora...\nThis can take a minute.", true},
      {L"A status sentence long enough to need several lines: it goes on well past the width of "
       L"the status box, so it wraps at word boundaries.",
       true},
  };
  // 12.5-pixel lines: the first from y 64, the second from about y 80.
  for (const auto& c : cases) {
    std::thread worker([&] { SetStatus(c.status); });
    worker.join();
    test::PumpMessages();
    const Capture capture = Client();
    EXPECT_GT(capture.InkPixels(32, 64, W() - 64, 14), 20) << test::Narrow(c.status);
    EXPECT_EQ(capture.InkPixels(32, 82, W() - 64, 12) > 0, c.secondLineInked) << test::Narrow(c.status);
    EXPECT_EQ(capture.InkPixels(W() - 30, 0, 30, H()), 0) << test::Narrow(c.status);
  }
}

// The line as the Windows runtime's swprintf formats it for the worker's progress reporter.
TEST_F(ScreenPixelsTest, DownloadProgressLineIsFormattedAndDrawn) {
  const struct {
    std::uint64_t done;
    std::uint64_t total;
    int percent;
    const wchar_t* line;
  } cases[] = {
      {16148070, 38377882, 42, L"Downloading Velmora 1.1.7... 42%  (15.4 of 36.6 MB)"},
      {0, 524288, 0, L"Downloading Velmora 1.1.7... 0%  (0.0 of 0.5 MB)"},
      {1572864, 1572864, 100, L"Downloading Velmora 1.1.7... 100%  (1.5 of 1.5 MB)"},
  };
  const std::wstring version = L"1.1.7";
  for (const auto& c : cases) {
    const Capture before = Client();
    std::thread worker([&] {
      int lastPercent = -1;
      MakeDownloadProgressReporter(lastPercent, version)(c.done, c.total);
    });
    worker.join();
    test::PumpMessages();
    EXPECT_EQ(CopyStatusText(), c.line) << test::Narrow(c.line);
    EXPECT_EQ(ProgressPercent, c.percent) << test::Narrow(c.line);
    EXPECT_NE(Client().Crop(32, 64, W() - 64, 20), before.Crop(32, 64, W() - 64, 20)) << test::Narrow(c.line);
  }
}

TEST_F(ScreenPixelsTest, ProgressScreenScreenshot) {
  std::thread worker([] {
    SetStatus(L"Downloading Velmora 1.1.7... 42%  (15.4 of 36.6 MB)");
    PostProgress(42);
  });
  worker.join();
  test::PumpMessages();
  EXPECT_EQ(Client().At(32 + TrackWidth() * 40 / 100, BarRow()), Rgb(AccentColor));
  Screenshot(L"progress-screen");
}

// Check box looks: (x + 14, y + 15) is inside the face away from the tick, (x + 12, y + 10)
// on the tick's long stroke, (x, y + 10) on the left border.
struct BoxLook {
  std::uint32_t face;
  std::uint32_t tick;
  std::uint32_t border;
};

BoxLook LookOf(const Capture& c, int x, int y) {
  return {c.At(x + 14, y + 15), c.At(x + 12, y + 10), c.At(x, y + 10)};
}

TEST_F(ScreenPixelsTest, CheckBoxesShowSelectionAndHover) {
  SetupOperation.exchange(Operation::Install);
  window_.ShowFinishScreen();
  const Capture selected = Client();
  for (const int y : {144, 180}) {
    const BoxLook look = LookOf(selected, 32, y);
    EXPECT_EQ(look.face, Rgb(AccentColor)) << y;
    EXPECT_EQ(look.tick, Rgb(WhiteColor)) << y;
    EXPECT_EQ(look.border, Rgb(AccentColor)) << y;
  }

  window_.ReleaseLeftButton(200, 190);  // clears the shortcut option
  window_.MoveMouse(300, 300);          // nowhere
  const BoxLook plain = LookOf(Client(), 32, 180);
  EXPECT_EQ(plain.face, Rgb(WhiteColor));
  EXPECT_EQ(plain.tick, Rgb(WhiteColor));
  EXPECT_EQ(plain.border, Rgb(BoxBorderColor));

  window_.MoveMouse(42, 190);
  const Capture hovered = Client();
  const BoxLook hover = LookOf(hovered, 32, 180);
  EXPECT_EQ(hover.face, Rgb(WhiteColor));
  EXPECT_EQ(hover.border, Rgb(AccentColor));
  EXPECT_EQ(hovered.PixelsOf(Rgb(AccentColor), 36, 184, 12, 12), 0);

  // A selected box looks the same with the mouse over it.
  window_.MoveMouse(42, 154);
  EXPECT_EQ(Client().Crop(30, 142, 24, 24), selected.Crop(30, 142, 24, 24));
}

TEST_F(ScreenPixelsTest, FinishButtonIsAccentAndLightensUnderTheMouse) {
  window_.ShowFinishScreen();
  // Left of the centred label, inside the button face.
  const int x = W() - 165;
  const int y = H() - 54;
  EXPECT_EQ(Client().At(x, y), Rgb(AccentColor));
  window_.MoveMouse(W() - 60, H() - 40);
  const Capture hovered = Client();
  EXPECT_EQ(hovered.At(x, y), Rgb(AccentHoverColor));
  EXPECT_EQ(hovered.PixelsOf(Rgb(AccentColor), W() - 172, H() - 76, 140, 44), 0);
  // The label is white text in the button.
  EXPECT_GT(hovered.PixelsOf(Rgb(WhiteColor), W() - 150, H() - 70, 96, 32), 0);
  window_.Post(WM_MOUSELEAVE);
  EXPECT_EQ(Client().At(x, y), Rgb(AccentColor));
}

// The body's first line ends above y 94; the warning sentence takes the lines below it.
int WarningAreaInk(const Capture& c, int width) { return c.InkPixels(32, 94, width - 64, 40); }

TEST_F(ScreenPixelsTest, FinishScreenWithoutTheWarningScreenshot) {
  SetupOperation.exchange(Operation::Update);
  window_.ShowFinishScreen();
  const Capture c = Client();
  EXPECT_GT(c.PixelsOf(Rgb(InkColor), 32, 28, W() - 64, 42), 100);
  EXPECT_GT(c.InkPixels(32, 76, W() - 64, 18), 50);
  EXPECT_EQ(WarningAreaInk(c, W()), 0);
  EXPECT_GT(c.PixelsOf(Rgb(InkColor), 64, 144, 330, 20), 50);
  EXPECT_GT(c.PixelsOf(Rgb(InkColor), 64, 180, 360, 20), 50);
  Screenshot(L"finish-screen");
}

// The heading's ink follows the operation the worker chose, read when the screen paints.
TEST_F(ScreenPixelsTest, FinishHeadingDiffersBetweenOperations) {
  SetupOperation.exchange(Operation::Install);
  window_.ShowFinishScreen();
  const Capture installed = Client().Crop(32, 28, W() - 64, 42);
  SetupOperation.exchange(Operation::Update);
  InvalidateRect(window_.Window(), nullptr, FALSE);
  const Capture updated = Client().Crop(32, 28, W() - 64, 42);
  EXPECT_GT(updated.PixelsOf(Rgb(InkColor), 0, 0, W() - 64, 42), 100);
  EXPECT_NE(updated, installed);
  SetupOperation.exchange(Operation::Install);
  InvalidateRect(window_.Window(), nullptr, FALSE);
  EXPECT_EQ(Client().Crop(32, 28, W() - 64, 42), installed);
}

TEST_F(ScreenPixelsTest, FinishScreenWithTheWebView2WarningScreenshot) {
  WindowState.webView2Missing = true;
  SetupOperation.exchange(Operation::Install);
  window_.ShowFinishScreen();
  const Capture c = Client();
  EXPECT_GT(WarningAreaInk(c, W()), 200);
  // The warning stays inside the body's 58-pixel box; the launch box's border starts at y 143.
  EXPECT_EQ(c.InkPixels(32, 134, W() - 64, 9), 0);
  Screenshot(L"finish-screen-webview2-warning");
}

// The focus cue appears once the keyboard is used: dotted ink around the focused option's
// words, then dotted white inside the Finish button; nothing else on the screen changes.
TEST_F(ScreenPixelsTest, FocusCueAppearsOnlyOnceTheKeyboardIsUsed) {
  SetupOperation.exchange(Operation::Install);
  window_.ShowFinishScreen();
  const Capture before = Client();
  window_.PressKey(VK_TAB);  // to the shortcut option
  const Capture shortcut = Client();
  EXPECT_EQ(shortcut.Crop(0, 0, W(), 176), before.Crop(0, 0, W(), 176));
  EXPECT_EQ(shortcut.Crop(0, 204, W(), H() - 204), before.Crop(0, 204, W(), H() - 204));
  // Left of the words, in the gap after the box, the cue's dotted side.
  EXPECT_EQ(before.InkPixels(56, 178, 8, 24), 0);
  EXPECT_GE(shortcut.PixelsOf(Rgb(InkColor), 56, 178, 8, 24), 4);
  EXPECT_LT(shortcut.PixelsOf(Rgb(InkColor), 56, 178, 8, 24), 24) << "dotted, not solid";
  // The box itself keeps its look.
  EXPECT_EQ(shortcut.Crop(30, 178, 24, 24), before.Crop(30, 178, 24, 24));
  Screenshot(L"finish-screen-focus-cue");

  window_.PressKey(VK_TAB);  // to Finish
  const Capture finish = Client();
  Screenshot(L"finish-screen-focus-on-finish");
  EXPECT_EQ(finish.Crop(0, 0, W(), H() - 80), before.Crop(0, 0, W(), H() - 80));
  // The cue's top side runs about 4 pixels inside the button face, clear of the label.
  const int top = H() - 74;
  EXPECT_EQ(before.PixelsOf(Rgb(WhiteColor), W() - 166, top, 128, 4), 0);
  EXPECT_GT(finish.PixelsOf(Rgb(WhiteColor), W() - 166, top, 128, 4), 20);
  EXPECT_LT(finish.PixelsOf(Rgb(WhiteColor), W() - 166, top, 128, 4), 128) << "dotted, not solid";
}

}  // namespace
}  // namespace velmora

// The screens at the display's scale. The ScaledScreens tests check the window at whatever DPI
// this process was started with: ctest runs them at 96 DPI, and DisplayScale runs them again in
// a child process started with the prefix's LogPixels at 144 and at 192, as Windows starts a
// program on a display at 150 % and 200 %.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/setup_state.h"
#include "net_test_support.h"
#include "ui/palette.h"
#include "ui/screen_layout.h"
#include "ui/setup_window_state.h"
#include "ui/win/window_dpi.h"
#include "ui_window_support.h"

namespace velmora {
namespace {

using test::Capture;

constexpr char kDpiVariable[] = "VELMORA_SCREENS_DPI";

// The DPI the process was started for; 96 when ctest starts it.
unsigned ExpectedDpi() {
  const char* value = std::getenv(kDpiVariable);
  return value != nullptr ? static_cast<unsigned>(std::strtoul(value, nullptr, 10)) : kBaseDpi;
}

// The client area a window of this outer size has at 96 DPI, by the system's own frame sizes.
SIZE BaseClient(HWND window, int outerWidth, int outerHeight) {
  RECT frame = {};
  AdjustWindowRectExForDpi(&frame, static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE)), FALSE,
                           static_cast<DWORD>(GetWindowLongW(window, GWL_EXSTYLE)), kBaseDpi);
  return {outerWidth - (frame.right - frame.left), outerHeight - (frame.bottom - frame.top)};
}

struct InkBox {
  int top = -1;
  int bottom = -1;  // the last inked row
  int Height() const { return top < 0 ? 0 : bottom - top + 1; }
};

InkBox InkRows(const Capture& c, const TargetRect& rect) {
  InkBox box;
  const int left = static_cast<int>(rect.x);
  const int width = static_cast<int>(std::ceil(rect.width));
  for (int y = static_cast<int>(rect.y); y < static_cast<int>(std::ceil(rect.y + rect.height)); ++y) {
    if (c.InkPixels(left, y, width, 1) == 0) continue;
    if (box.top < 0) box.top = y;
    box.bottom = y;
  }
  return box;
}

// Inked pixels that lie in none of the rectangles, each widened by margin pixels for the half
// of a border line that falls outside its shape.
int InkOutside(const Capture& c, const std::vector<TargetRect>& rects, float margin) {
  int outside = 0;
  for (int y = 0; y < c.Height(); ++y) {
    for (int x = 0; x < c.Width(); ++x) {
      if (c.At(x, y) == 0xFFFFFFu) continue;
      const bool inside = std::any_of(rects.begin(), rects.end(), [&](const TargetRect& r) {
        return x >= r.x - margin && x < r.x + r.width + margin && y >= r.y - margin &&
               y < r.y + r.height + margin;
      });
      outside += inside ? 0 : 1;
    }
  }
  return outside;
}

class ScaledScreens : public ::testing::Test {
 protected:
  float Scale() const { return ScaleForDpi(ExpectedDpi()); }
  HWND Window() const { return window_.Window(); }
  float LogicalWidth() const { return static_cast<float>(window_.ClientSize().cx) / Scale(); }
  float LogicalHeight() const { return static_cast<float>(window_.ClientSize().cy) / Scale(); }
  TargetRect Scaled(const TargetRect& rect) const { return ScaleRect(rect, Scale()); }
  // Half of the check boxes' 1.5-unit border, scaled, to whole pixels.
  float BorderMargin() const { return std::ceil(0.75f * Scale()); }

  // The client is the 96-DPI client of the outer size, scaled, to a pixel either way.
  void ExpectScaledClient(int outerWidth, int outerHeight) const {
    const SIZE base = BaseClient(Window(), outerWidth, outerHeight);
    const SIZE client = window_.ClientSize();
    EXPECT_NEAR(client.cx, base.cx * Scale(), 1.0) << outerWidth;
    EXPECT_NEAR(client.cy, base.cy * Scale(), 1.0) << outerHeight;
  }

  // A text's ink is as tall as its font at this scale: from a little under the size (no
  // descender) to a little over (accents, descenders).
  void ExpectTextHeight(const Capture& c, const TargetRect& rect, float sizePx, const char* what) const {
    const int height = InkRows(c, rect).Height();
    EXPECT_GE(height, 0.7f * sizePx * Scale()) << what;
    EXPECT_LE(height, 1.2f * sizePx * Scale()) << what;
  }

  void Screenshot(const std::wstring& name) const {
    EXPECT_NE(test::SaveScreenshot(test::CaptureWholeWindow(Window()), test::ArtifactsFolder(),
                                   name + L"-" + std::to_wstring(ExpectedDpi()) + L"dpi"),
              L"");
  }

  test::SetupWindowFixture window_;
};

TEST_F(ScaledScreens, WindowHasTheDisplaysDpi) { EXPECT_EQ(WindowDpi(Window()), ExpectedDpi()); }

TEST_F(ScaledScreens, ProgressScreenScalesItsClientTextAndBar) {
  ExpectScaledClient(500, 216);
  SetStatus(L"Downloading Velmora 1.1.7... 42%  (15.4 of 36.6 MB)");
  PostProgress(42);
  test::PumpMessages();
  const Capture c = test::CaptureClient(Window());
  const ProgressScreenLayout layout = LayOutProgressScreen(LogicalWidth(), LogicalHeight());
  const TargetRect status{layout.status.x, layout.status.y, layout.status.width, 20.0f};
  for (const TargetRect& text : {layout.title, status, layout.footer}) {
    EXPECT_GT(c.InkPixels(static_cast<int>(Scaled(text).x), static_cast<int>(Scaled(text).y),
                          static_cast<int>(Scaled(text).width), static_cast<int>(Scaled(text).height)),
              20);
  }
  EXPECT_EQ(InkOutside(
                c, {Scaled(layout.title), Scaled(layout.status), Scaled(layout.track), Scaled(layout.footer)},
                BorderMargin()),
            0);
  ExpectTextHeight(c, Scaled(layout.title), kTitleTextSize, "title");
  // The bar is 8 units high and filled to 42 % of its width.
  const TargetRect track = Scaled(layout.track);
  const int row = static_cast<int>(track.y + track.height / 2);
  EXPECT_NEAR(InkRows(c, track).Height(), track.height, 1.0);
  EXPECT_NEAR(c.PixelsOf(test::Rgb(AccentColor), 0, row, c.Width(), 1), 0.42 * track.width, 2.0 * Scale());
  Screenshot(L"progress-screen");
}

TEST_F(ScaledScreens, FinishScreenScalesItsClientTextsAndTargets) {
  SetupOperation.exchange(Operation::Install);
  window_.ShowFinishScreen();
  ExpectScaledClient(520, 340);
  const Capture c = test::CaptureClient(Window());
  const FinishScreenLayout layout = LayOutFinishScreen(LogicalWidth());
  const TargetRect button = Scaled(FinishButtonRect(LogicalWidth(), LogicalHeight()));
  std::vector<TargetRect> drawn = {Scaled(layout.heading), Scaled(layout.body), button};
  for (const FinishTargetPart part : {FinishTargetPart::LaunchBox, FinishTargetPart::ShortcutBox,
                                      FinishTargetPart::LaunchLabel, FinishTargetPart::ShortcutLabel}) {
    drawn.push_back(Scaled(FinishTargetRect(part)));
  }
  EXPECT_EQ(InkOutside(c, drawn, BorderMargin()), 0);
  ExpectTextHeight(c, Scaled(layout.heading), kTitleTextSize, "heading");
  ExpectTextHeight(c, Scaled(FinishTargetRect(FinishTargetPart::ShortcutLabel)), kOptionTextSize, "label");
  // The box is 20 units square.
  const TargetRect box = Scaled(FinishTargetRect(FinishTargetPart::LaunchBox));
  EXPECT_NEAR(InkRows(c, box).Height(), box.height, 2.0);
  Screenshot(L"finish-screen");

  // The mouse hits the targets where they are drawn: the middle of the scaled shortcut label,
  // then the middle of the scaled button.
  const TargetRect label = Scaled(FinishTargetRect(FinishTargetPart::ShortcutLabel));
  window_.ReleaseLeftButton(static_cast<int>(label.x + label.width / 2),
                            static_cast<int>(label.y + label.height / 2));
  EXPECT_FALSE(WindowState.shortcutSelected);
  EXPECT_TRUE(WindowState.launchSelected);
  window_.MoveMouse(static_cast<int>(button.x + button.width / 2),
                    static_cast<int>(button.y + button.height / 2));
  EXPECT_TRUE(WindowState.hoverFinish);
}

// The prefix's display scale for one child process: LogPixels under the user's desktop
// settings, put back as it was afterwards.
class ScopedLogPixels {
 public:
  explicit ScopedLogPixels(DWORD dpi) {
    DWORD size = sizeof previous_;
    had_ = RegGetValueW(HKEY_CURRENT_USER, kKey, L"LogPixels", RRF_RT_REG_DWORD, nullptr, &previous_,
                        &size) == ERROR_SUCCESS;
    set_ =
        RegSetKeyValueW(HKEY_CURRENT_USER, kKey, L"LogPixels", REG_DWORD, &dpi, sizeof dpi) == ERROR_SUCCESS;
  }
  ~ScopedLogPixels() {
    if (had_) {
      RegSetKeyValueW(HKEY_CURRENT_USER, kKey, L"LogPixels", REG_DWORD, &previous_, sizeof previous_);
    } else {
      RegDeleteKeyValueW(HKEY_CURRENT_USER, kKey, L"LogPixels");
    }
  }
  ScopedLogPixels(const ScopedLogPixels&) = delete;
  ScopedLogPixels& operator=(const ScopedLogPixels&) = delete;
  bool Set() const { return set_; }

 private:
  static constexpr const wchar_t* kKey = L"Control Panel\\Desktop";
  DWORD previous_ = 0;
  bool had_ = false;
  bool set_ = false;
};

TEST(DisplayScale, ScreensScaleAt150And200Percent) {
  wchar_t self[MAX_PATH] = {};
  ASSERT_NE(GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
  for (const DWORD dpi : {144u, 192u}) {
    SCOPED_TRACE(dpi);
    const ScopedLogPixels scale(dpi);
    ASSERT_TRUE(scale.Set());
    test::UnixRun run;
    ASSERT_TRUE(test::RunUnixScript(std::string("env ") + kDpiVariable + "=" + std::to_string(dpi) +
                                        " /usr/lib/wine/wine64 " + test::ShellQuote(test::UnixPathOf(self)) +
                                        " --gtest_filter=ScaledScreens.*",
                                    run));
    EXPECT_EQ(run.exitStatus, 0) << run.output << run.errors;
    EXPECT_NE(run.output.find("[  PASSED  ] 3 tests."), std::string::npos) << run.output;
  }
}

}  // namespace
}  // namespace velmora

// The Finish sequence on a real window. The shortcut and the launch are recording callables at
// the sequence's seam: each records what the window showed at the moment it was called.
#include "ui/win/finish_sequence.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/setup_state.h"
#include "ui/palette.h"
#include "ui/setup_window_state.h"
#include "ui_window_support.h"

namespace velmora {
namespace {

using test::Capture;
using test::Rgb;

// What the window looked like when one post-install action ran.
struct ActionCall {
  std::string action;
  bool windowAlive = false;
  bool finishing = false;
  bool repaintPending = true;
  bool waitCursor = false;
  Capture client;
};

class FinishSequenceAtSeam : public ::testing::Test {
 protected:
  FinishCalls RecordingActions() {
    FinishCalls calls;
    calls.createDesktopShortcut = [this] {
      Record("shortcut");
      return true;
    };
    calls.launchInstalledApp = [this](const LaunchCalls&) {
      Record("launch");
      return true;
    };
    return calls;
  }

  void SetUp() override {
    SetupOperation.exchange(Operation::Install);
    window_.ShowFinishScreen();
    size_ = window_.ClientSize();  // kept: the window is gone by the time results are checked
  }

  void Record(const char* action) {
    ActionCall call;
    call.action = action;
    call.windowAlive = window_.Alive();
    call.finishing = WindowState.finishing;
    call.repaintPending = GetUpdateRect(window_.Window(), nullptr, FALSE) != FALSE;
    call.waitCursor = GetCursor() == LoadCursorW(nullptr, IDC_WAIT);
    call.client = test::CaptureClient(window_.Window());
    if (duringAction_) duringAction_();
    calls_.push_back(std::move(call));
  }

  std::vector<std::string> Actions() const {
    std::vector<std::string> names;
    for (const ActionCall& call : calls_) names.push_back(call.action);
    return names;
  }

  Capture ButtonOf(const Capture& client) const {
    return client.Crop(size_.cx - 172, size_.cy - 76, 140, 44);
  }

  Capture ReferenceButton(const wchar_t* label) const {
    return ButtonOf(test::RenderFinishButton(label, AccentColor, size_.cx, size_.cy));
  }

  void ClickFinish() { window_.ReleaseLeftButton(size_.cx - 100, size_.cy - 50); }

  test::SetupWindowFixture window_{RecordingActions()};
  std::vector<ActionCall> calls_;
  std::function<void()> duringAction_;
  SIZE size_ = {};
};

TEST_F(FinishSequenceAtSeam, BothOptionsClearedLogsZerosAndClosesAtOnceWithoutTheWaitCursor) {
  window_.ReleaseLeftButton(40, 154);
  window_.ReleaseLeftButton(40, 190);
  SetCursor(LoadCursorW(nullptr, IDC_ARROW));
  ClickFinish();
  EXPECT_FALSE(window_.Alive());
  EXPECT_FALSE(WindowState.finishing);
  EXPECT_NE(GetCursor(), LoadCursorW(nullptr, IDC_WAIT));
  EXPECT_TRUE(calls_.empty());
  EXPECT_EQ(window_.LogLines(), (std::vector<std::string>{"Finish screen shown for operation 1.",
                                                          "Finish requested: launch=0 shortcut=0."}));
}

TEST_F(FinishSequenceAtSeam, ShortcutOnlyShowsFinishingMakesTheShortcutAndDoesNotLaunch) {
  window_.ReleaseLeftButton(100, 154);
  ClickFinish();
  ASSERT_EQ(Actions(), (std::vector<std::string>{"shortcut"}));
  const ActionCall& call = calls_[0];
  EXPECT_TRUE(call.windowAlive);
  EXPECT_TRUE(call.finishing);
  EXPECT_TRUE(call.waitCursor);
  EXPECT_FALSE(call.repaintPending);  // the busy button was painted before the action ran
  EXPECT_EQ(ButtonOf(call.client), ReferenceButton(L"Finishing..."));
  EXPECT_NE(ButtonOf(call.client), ReferenceButton(L"Finish"));
  EXPECT_FALSE(window_.Alive());
  EXPECT_EQ(window_.LogLines().back(), "Finish requested: launch=0 shortcut=1.");
}

TEST_F(FinishSequenceAtSeam, EnterWithBothOptionsMakesTheShortcutFirstThenLaunchesThenCloses) {
  window_.MoveMouse(size_.cx - 100, size_.cy - 50);
  ASSERT_TRUE(WindowState.hoverFinish);
  const std::optional<int> quit = window_.PressKey(VK_RETURN);
  ASSERT_EQ(Actions(), (std::vector<std::string>{"shortcut", "launch"}));
  for (const ActionCall& call : calls_) {
    EXPECT_TRUE(call.windowAlive) << call.action;
    // Under the mouse and finishing, the button keeps the accent colour and shows the busy label.
    EXPECT_EQ(ButtonOf(call.client), ReferenceButton(L"Opening...")) << call.action;
    EXPECT_EQ(call.client.At(size_.cx - 165, size_.cy - 54), Rgb(AccentColor)) << call.action;
  }
  EXPECT_FALSE(window_.Alive());
  EXPECT_EQ(quit, std::optional<int>(0));
  EXPECT_EQ(window_.LogLines().back(), "Finish requested: launch=1 shortcut=1.");
}

TEST_F(FinishSequenceAtSeam, LaunchOnlyDoesNotMakeTheShortcut) {
  window_.ReleaseLeftButton(100, 190);
  ClickFinish();
  ASSERT_EQ(Actions(), (std::vector<std::string>{"launch"}));
  EXPECT_EQ(ButtonOf(calls_[0].client), ReferenceButton(L"Opening..."));
  EXPECT_EQ(window_.LogLines().back(), "Finish requested: launch=1 shortcut=0.");
}

TEST_F(FinishSequenceAtSeam, InputWhileFinishingIsIgnored) {
  struct Reaction {
    bool aliveAfterInput = false;
    bool optionsUnchanged = false;
    bool secondFinishRan = false;
    LRESULT setCursorResult = 0;
    bool waitCursor = false;
  } seen;
  duringAction_ = [&] {
    duringAction_ = nullptr;
    const HWND window = window_.Window();
    SendMessageW(window, WM_CLOSE, 0, 0);
    SendMessageW(window, WM_KEYDOWN, VK_ESCAPE, 1);
    SendMessageW(window, WM_KEYDOWN, VK_RETURN, 1);
    SendMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(40, 154));
    SendMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(40, 190));
    SendMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(size_.cx - 100, size_.cy - 50));
    seen.aliveAfterInput = window_.Alive();
    seen.optionsUnchanged = WindowState.launchSelected && WindowState.shortcutSelected;
    seen.secondFinishRan = calls_.size() > 0;
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    seen.setCursorResult = SendMessageW(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(window),
                                        MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    seen.waitCursor = GetCursor() == LoadCursorW(nullptr, IDC_WAIT);
  };
  ClickFinish();
  EXPECT_TRUE(seen.aliveAfterInput);
  EXPECT_TRUE(seen.optionsUnchanged);
  EXPECT_FALSE(seen.secondFinishRan);
  EXPECT_EQ(seen.setCursorResult, TRUE);
  EXPECT_TRUE(seen.waitCursor);
  EXPECT_EQ(Actions(), (std::vector<std::string>{"shortcut", "launch"}));
  EXPECT_FALSE(window_.Alive());
  int finishLines = 0;
  for (const std::string& line : window_.LogLines()) finishLines += line.rfind("Finish requested", 0) == 0;
  EXPECT_EQ(finishLines, 1);
}

}  // namespace
}  // namespace velmora

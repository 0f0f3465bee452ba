// The window's reactions to the worker's notifications and to the user, on a real window. The
// post-install actions are recording callables, so nothing is launched or linked here.
#include "ui/win/setup_window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "base/setup_state.h"
#include "ui/win/finish_sequence.h"
#include "ui/setup_window_state.h"
#include "ui/win/window_placement.h"
#include "ui_dialog_driver.h"
#include "ui_window_support.h"

namespace velmora {
namespace {

// Under Xvfb the one monitor's work area is (0, 0, 1280, 800).
constexpr RECT kStartRect = {390, 292, 890, 508};   // 500 x 216, centred
constexpr RECT kFinishRect = {380, 230, 900, 570};  // 520 x 340, centred

bool SameRect(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::string Describe(const RECT& r) {
  return "(" + std::to_string(r.left) + ", " + std::to_string(r.top) + ", " + std::to_string(r.right) + ", " +
         std::to_string(r.bottom) + ")";
}

class SetupWindowTest : public ::testing::Test {
 protected:
  FinishCalls RecordingActions() {
    FinishCalls calls;
    calls.createDesktopShortcut = [this] {
      actions_.push_back("shortcut");
      return true;
    };
    calls.launchInstalledApp = [this](const LaunchCalls&) {
      actions_.push_back("launch");
      return true;
    };
    return calls;
  }

  // The worker's final report with an operation, as its last steps would make it.
  void FinishWith(Operation operation) {
    SetupOperation.exchange(operation);
    window_.ShowFinishScreen();
  }

  test::SetupWindowFixture window_{RecordingActions()};
  std::vector<std::string> actions_;
};

TEST_F(SetupWindowTest, StartsCentredOnTheWorkAreaAtItsFixedSize) {
  EXPECT_TRUE(SameRect(window_.WindowRect(), kStartRect)) << Describe(window_.WindowRect());
  const LONG style = GetWindowLongW(window_.Window(), GWL_STYLE);
  EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_THICKFRAME | WS_MAXIMIZEBOX),
            WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX);
  wchar_t title[64] = {};
  GetWindowTextW(window_.Window(), title, 64);
  EXPECT_STREQ(title, L"Velmora Setup");
  EXPECT_TRUE(IsWindowVisible(window_.Window()));
}

TEST_F(SetupWindowTest, CreationSelectsBothOptions) {
  WindowState.launchSelected = false;
  WindowState.shortcutSelected = false;
  const HWND second = CreateSetupWindow(GetModuleHandleW(nullptr));
  ASSERT_NE(second, nullptr);
  EXPECT_TRUE(WindowState.launchSelected);
  EXPECT_TRUE(WindowState.shortcutSelected);
  DestroyWindow(second);
  test::PumpMessages();
}

TEST_F(SetupWindowTest, BackgroundIsNeverErasedSeparately) {
  const HDC dc = GetDC(window_.Window());
  EXPECT_EQ(SendMessageW(window_.Window(), WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0), 1);
  ReleaseDC(window_.Window(), dc);
}

// Close requests from the user and the worker, in each state of the window.
struct CloseRow {
  const char* name;
  bool workerDone;    // SetupBusy cleared
  bool finishScreen;  // the finish screen is showing
  UINT message;
  WPARAM wParam;
  bool closes;
};

void PrintTo(const CloseRow& row, std::ostream* out) { *out << row.name; }

class SetupWindowCloseTest : public SetupWindowTest, public ::testing::WithParamInterface<CloseRow> {};

TEST_P(SetupWindowCloseTest, ClosesOnlyWhenTheWorkerIsDone) {
  const CloseRow& row = GetParam();
  if (row.finishScreen) {
    FinishWith(Operation::Install);
  } else if (row.workerDone) {
    SetupBusy.exchange(false);
  }
  const std::optional<int> quit = window_.Post(row.message, row.wParam, row.message == WM_KEYDOWN ? 1 : 0);
  EXPECT_EQ(!window_.Alive(), row.closes);
  EXPECT_EQ(quit, row.closes ? std::optional<int>(0) : std::nullopt);
  // Closing is never Finish: nothing is launched and no shortcut is made.
  EXPECT_TRUE(actions_.empty());
  for (const std::string& line : window_.LogLines())
    EXPECT_EQ(line.find("Finish requested"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SetupWindowCloseTest,
    ::testing::Values(CloseRow{"CloseWhileBusy", false, false, WM_CLOSE, 0, false},
                      CloseRow{"CloseOnceTheWorkerIsDone", true, false, WM_CLOSE, 0, true},
                      CloseRow{"CloseOnTheFinishScreen", true, true, WM_CLOSE, 0, true},
                      CloseRow{"EscapeWhileBusy", false, false, WM_KEYDOWN, VK_ESCAPE, false},
                      CloseRow{"EscapeOnceTheWorkerIsDone", true, false, WM_KEYDOWN, VK_ESCAPE, true},
                      CloseRow{"EscapeOnTheFinishScreen", true, true, WM_KEYDOWN, VK_ESCAPE, true},
                      CloseRow{"ReturnOnTheProgressScreen", true, false, WM_KEYDOWN, VK_RETURN, false},
                      CloseRow{"OtherKeyOnTheFinishScreen", true, true, WM_KEYDOWN, 'A', false},
                      CloseRow{"WorkerCloseWhileBusy", false, false, WM_SETUP_CLOSE, 0, false},
                      CloseRow{"WorkerCloseOnceDone", true, false, WM_SETUP_CLOSE, 0, true}),
    [](const ::testing::TestParamInfo<CloseRow>& info) { return std::string(info.param.name); });

bool Logged(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// While a download runs, the close box and Esc ask whether to cancel, with the window as the
// box's owner. No leaves the download going and the next close asks again; a close while the
// question is open asks nothing more; Yes requests the cancel and leaves closing to the worker.
TEST_F(SetupWindowTest, CloseOrEscapeDuringADownloadAsksAndOnlyYesRequestsTheCancel) {
  OfferCancel();
  const HWND window = window_.Window();
  test::DialogDriver driver(
      L"Velmora Setup", {{IDNO, false, [window] { PostMessageW(window, WM_CLOSE, 0, 0); }}, {IDNO}, {IDYES}},
      [this] { return window_.LogLines(); });
  window_.Post(WM_CLOSE);
  EXPECT_TRUE(window_.Alive());
  EXPECT_EQ(SetupCancel.load(), CancelState::Offered);
  window_.PressKey(VK_ESCAPE);
  EXPECT_EQ(SetupCancel.load(), CancelState::Offered);
  window_.Post(WM_CLOSE);
  EXPECT_EQ(SetupCancel.load(), CancelState::Requested);
  EXPECT_TRUE(window_.Alive()) << "the worker closes the window once it has stopped";
  const std::vector<test::SeenDialog> seen = driver.Finish();
  ASSERT_EQ(seen.size(), 3u);
  for (const test::SeenDialog& dialog : seen) {
    EXPECT_TRUE(dialog.expected);
    EXPECT_EQ(dialog.owner, window);
    EXPECT_TRUE(test::ShowsText(dialog, L"Cancel Velmora setup?"));
    EXPECT_TRUE(test::ShowsText(dialog, L"&Yes"));
    EXPECT_TRUE(test::ShowsText(dialog, L"&No"));
  }
  EXPECT_TRUE(Logged(window_.LogLines(), "Cancel requested by the user."));
  EXPECT_TRUE(actions_.empty());
}

// The download ended while the question was open: the late Yes is refused, the run goes on,
// and from then on a close is ignored without a question, as it is while Windows Installer runs.
TEST_F(SetupWindowTest, YesAfterTheDownloadEndedIsDeclinedAndLaterClosesAskNothing) {
  OfferCancel();
  test::DialogDriver driver(L"Velmora Setup", {{IDYES, false, [] { (void)WithdrawCancel(); }}},
                            [this] { return window_.LogLines(); });
  window_.PressKey(VK_ESCAPE);
  EXPECT_EQ(SetupCancel.load(), CancelState::NotOffered);
  window_.Post(WM_CLOSE);
  window_.PressKey(VK_ESCAPE);
  EXPECT_TRUE(window_.Alive());
  const std::vector<test::SeenDialog> seen = driver.Finish();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_TRUE(Logged(window_.LogLines(), "Cancel declined: the download had already ended."));
  EXPECT_FALSE(Logged(window_.LogLines(), "Cancel requested by the user."));
}

TEST_F(SetupWindowTest, WorkerCloseAfterFailSetupClosesWithoutUserAction) {
  std::thread worker([] { FailSetup(FailureCause::PackageCheck, L"The package could not be verified."); });
  worker.join();
  const std::optional<int> quit = test::PumpMessages();
  EXPECT_FALSE(window_.Alive());
  EXPECT_EQ(quit, std::optional<int>(0));
  EXPECT_EQ(SetupOutcome.load(), Outcome::Failed);
}

TEST_F(SetupWindowTest, FinishNotificationWhileBusyIsIgnored) {
  window_.Post(WM_SETUP_FINISH);
  EXPECT_FALSE(WindowState.finishScreenShown);
  EXPECT_TRUE(SameRect(window_.WindowRect(), kStartRect)) << Describe(window_.WindowRect());
  EXPECT_TRUE(window_.LogLines().empty());
}

TEST_F(SetupWindowTest, FinishNotificationGrowsAndCentresTheWindowOnceAndLogsOnce) {
  FinishWith(Operation::Update);
  EXPECT_TRUE(WindowState.finishScreenShown);
  EXPECT_TRUE(SameRect(window_.WindowRect(), kFinishRect)) << Describe(window_.WindowRect());
  EXPECT_EQ(window_.LogLines(), (std::vector<std::string>{"Finish screen shown for operation 2."}));

  // Moved and shrunk by hand: a second notification neither resizes nor logs again.
  SetWindowPos(window_.Window(), nullptr, 10, 20, 600, 400, SWP_NOZORDER | SWP_NOACTIVATE);
  window_.Post(WM_SETUP_FINISH);
  EXPECT_TRUE(SameRect(window_.WindowRect(), RECT{10, 20, 610, 420})) << Describe(window_.WindowRect());
  EXPECT_EQ(window_.LogLines().size(), 1u);
}

// Minimised during the download: restoring the window after the finish notification shows
// the whole finish screen, not the progress size with the finish layout cut off.
TEST_F(SetupWindowTest, FinishNotificationWhileMinimisedRestoresToTheFinishSize) {
  ShowWindow(window_.Window(), SW_MINIMIZE);
  test::PumpMessages();
  ASSERT_TRUE(IsIconic(window_.Window()));
  FinishWith(Operation::Install);
  ShowWindow(window_.Window(), SW_RESTORE);
  test::PumpMessages();
  EXPECT_TRUE(SameRect(window_.WindowRect(), kFinishRect)) << Describe(window_.WindowRect());
}

TEST_F(SetupWindowTest, FinishScreenLogLineCarriesTheOperationValue) {
  FinishWith(static_cast<Operation>(0));
  EXPECT_EQ(window_.LogLines(), (std::vector<std::string>{"Finish screen shown for operation 0."}));
}

TEST_F(SetupWindowTest, ProgressValueIsStoredAsSentFromItsLow32Bits) {
  const struct {
    WPARAM sent;
    std::int32_t stored;
  } cases[] = {{37, 37},
               {150, 150},
               {static_cast<WPARAM>(static_cast<INT_PTR>(-3)), -3},
               {(WPARAM{1} << 32) | 50, 50},
               {0, 0}};
  for (const auto& c : cases) {
    window_.Post(WM_SETUP_PROGRESS, c.sent);
    EXPECT_EQ(ProgressPercent, c.stored) << c.sent;
  }
}

// Left-button releases on the finish screen: options toggle, Finish runs, the rest is nothing.
struct ClickRow {
  const char* name;
  int x;
  int y;
  bool fromBottomRight;  // x and y are distances from the client's right and bottom edges
  bool launchAfter;
  bool shortcutAfter;
  bool finishRuns;
};

void PrintTo(const ClickRow& row, std::ostream* out) { *out << row.name; }

class SetupWindowClickTest : public SetupWindowTest, public ::testing::WithParamInterface<ClickRow> {};

TEST_P(SetupWindowClickTest, ReleaseActsOnTheTargetUnderIt) {
  const ClickRow& row = GetParam();
  FinishWith(Operation::Install);
  const SIZE client = window_.ClientSize();
  const int x = row.fromBottomRight ? client.cx - row.x : row.x;
  const int y = row.fromBottomRight ? client.cy - row.y : row.y;
  window_.ReleaseLeftButton(x, y);
  EXPECT_EQ(!window_.Alive(), row.finishRuns);
  EXPECT_EQ(WindowState.launchSelected, row.launchAfter);
  EXPECT_EQ(WindowState.shortcutSelected, row.shortcutAfter);
  EXPECT_EQ(actions_,
            row.finishRuns ? (std::vector<std::string>{"shortcut", "launch"}) : std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SetupWindowClickTest,
    ::testing::Values(ClickRow{"LaunchBoxCorner", 32, 144, false, false, true, false},
                      ClickRow{"LaunchLabelFarCorner", 394, 164, false, false, true, false},
                      ClickRow{"GapBetweenBoxAndLabel", 58, 154, false, true, true, false},
                      ClickRow{"RightOfTheLaunchLabel", 395, 154, false, true, true, false},
                      ClickRow{"ShortcutBox", 42, 190, false, true, false, false},
                      ClickRow{"ShortcutLabelFarCorner", 424, 200, false, true, false, false},
                      ClickRow{"BelowTheOptions", 100, 230, false, true, true, false},
                      ClickRow{"FinishButtonTopLeft", 172, 76, true, true, true, true},
                      ClickRow{"FinishButtonBottomRight", 32, 32, true, true, true, true},
                      ClickRow{"JustRightOfTheButton", 31, 50, true, true, true, false}),
    [](const ::testing::TestParamInfo<ClickRow>& info) { return std::string(info.param.name); });

TEST_F(SetupWindowTest, ClicksOnTheProgressScreenAreIgnored) {
  SetupBusy.exchange(false);
  window_.ReleaseLeftButton(40, 150);
  window_.ReleaseLeftButton(window_.ClientSize().cx - 100, window_.ClientSize().cy - 50);
  EXPECT_TRUE(window_.Alive());
  EXPECT_TRUE(WindowState.launchSelected && WindowState.shortcutSelected);
  EXPECT_TRUE(actions_.empty());
}

TEST_F(SetupWindowTest, FinishBeforeTheFinishScreenDoesNothing) {
  SetupBusy.exchange(false);
  RequestFinish(window_.Window(), RecordingActions());
  EXPECT_TRUE(window_.Alive());
  EXPECT_FALSE(WindowState.finishing);
  EXPECT_TRUE(actions_.empty());
  EXPECT_TRUE(window_.LogLines().empty());
}

TEST_F(SetupWindowTest, SecondClickSelectsTheOptionAgain) {
  FinishWith(Operation::Install);
  window_.ReleaseLeftButton(100, 150);
  window_.ReleaseLeftButton(40, 150);
  EXPECT_TRUE(WindowState.launchSelected);
}

// Keys as the system posts them; Shift is held in this thread's keyboard state while it applies.
void PressTab(test::SetupWindowFixture& window, bool shift) {
  BYTE keys[256] = {};
  GetKeyboardState(keys);
  const BYTE before = keys[VK_SHIFT];
  keys[VK_SHIFT] = shift ? 0x80 : 0;
  SetKeyboardState(keys);
  window.PressKey(VK_TAB);
  keys[VK_SHIFT] = before;
  SetKeyboardState(keys);
}

// Finish by keyboard alone: Tab moves the focus to the shortcut option, Space clears it, two
// more Tabs go round past Finish to the launch option, and Enter finishes from there.
TEST_F(SetupWindowTest, KeyboardOnlyFinishTabSpaceTabTabEnter) {
  FinishWith(Operation::Install);
  EXPECT_EQ(WindowState.focus, FinishTarget::LaunchOption);
  EXPECT_FALSE(WindowState.focusCueShown) << "hidden until the keyboard is used";
  PressTab(window_, false);
  EXPECT_EQ(WindowState.focus, FinishTarget::ShortcutOption);
  EXPECT_TRUE(WindowState.focusCueShown);
  window_.PressKey(VK_SPACE);
  EXPECT_FALSE(WindowState.shortcutSelected);
  EXPECT_TRUE(WindowState.launchSelected);
  PressTab(window_, false);
  EXPECT_EQ(WindowState.focus, FinishTarget::FinishButton);
  PressTab(window_, false);
  EXPECT_EQ(WindowState.focus, FinishTarget::LaunchOption);
  const std::optional<int> quit = window_.PressKey(VK_RETURN);
  EXPECT_FALSE(window_.Alive());
  EXPECT_EQ(quit, std::optional<int>(0));
  EXPECT_EQ(actions_, std::vector<std::string>{"launch"});
  EXPECT_EQ(window_.LogLines().back(), "Finish requested: launch=1 shortcut=0.");
}

// Shift+Tab goes backwards; Space on an option toggles it, on Finish presses the button.
TEST_F(SetupWindowTest, ShiftTabGoesBackAndSpaceActsOnTheFocusedTarget) {
  FinishWith(Operation::Install);
  PressTab(window_, true);
  EXPECT_EQ(WindowState.focus, FinishTarget::FinishButton);
  PressTab(window_, true);
  EXPECT_EQ(WindowState.focus, FinishTarget::ShortcutOption);
  PressTab(window_, true);
  EXPECT_EQ(WindowState.focus, FinishTarget::LaunchOption);
  window_.PressKey(VK_SPACE);
  EXPECT_FALSE(WindowState.launchSelected);
  window_.PressKey(VK_SPACE);
  EXPECT_TRUE(WindowState.launchSelected);
  // A click on an option moves the focus there, as on a check box.
  window_.ReleaseLeftButton(100, 190);
  EXPECT_EQ(WindowState.focus, FinishTarget::ShortcutOption);
  EXPECT_FALSE(WindowState.shortcutSelected);
  PressTab(window_, false);
  EXPECT_TRUE(window_.Alive());
  window_.PressKey(VK_SPACE);
  EXPECT_FALSE(window_.Alive());
  EXPECT_EQ(actions_, std::vector<std::string>{"launch"});
}

// On the progress screen the keys that work the finish screen do nothing, and the focus cue
// stays hidden.
TEST_F(SetupWindowTest, TabAndSpaceOnTheProgressScreenDoNothing) {
  PressTab(window_, false);
  window_.PressKey(VK_SPACE);
  EXPECT_EQ(WindowState.focus, FinishTarget::LaunchOption);
  EXPECT_FALSE(WindowState.focusCueShown);
  EXPECT_TRUE(WindowState.launchSelected && WindowState.shortcutSelected);
  EXPECT_TRUE(window_.Alive());
}

// Mouse moves: exactly one hover flag on the finish screen, none on the progress screen.
struct HoverRow {
  const char* name;
  bool finishScreen;
  int x;
  int y;
  bool fromBottomRight;
  bool launch;
  bool shortcut;
  bool finish;
};

void PrintTo(const HoverRow& row, std::ostream* out) { *out << row.name; }

class SetupWindowHoverTest : public SetupWindowTest, public ::testing::WithParamInterface<HoverRow> {};

TEST_P(SetupWindowHoverTest, MoveSetsTheHoverFlagOfTheTargetUnderTheMouse) {
  const HoverRow& row = GetParam();
  if (row.finishScreen) FinishWith(Operation::Install);
  const SIZE client = window_.ClientSize();
  window_.MoveMouse(row.fromBottomRight ? client.cx - row.x : row.x,
                    row.fromBottomRight ? client.cy - row.y : row.y);
  EXPECT_EQ(WindowState.hoverLaunch, row.launch);
  EXPECT_EQ(WindowState.hoverShortcut, row.shortcut);
  EXPECT_EQ(WindowState.hoverFinish, row.finish);
}

INSTANTIATE_TEST_SUITE_P(Rows, SetupWindowHoverTest,
                         ::testing::Values(HoverRow{"LaunchLabel", true, 200, 154, false, true, false, false},
                                           HoverRow{"ShortcutBox", true, 40, 190, false, false, true, false},
                                           HoverRow{"FinishButton", true, 100, 50, true, false, false, true},
                                           HoverRow{"Gap", true, 58, 190, false, false, false, false},
                                           HoverRow{"ProgressScreenOverWhereTheBoxWouldBe", false, 40, 150,
                                                    false, false, false, false},
                                           HoverRow{"ProgressScreenOverWhereTheButtonWouldBe", false, 100, 50,
                                                    true, false, false, false}),
                         [](const ::testing::TestParamInfo<HoverRow>& info) {
                           return std::string(info.param.name);
                         });

TEST_F(SetupWindowTest, MouseLeaveClearsEveryHoverFlag) {
  FinishWith(Operation::Install);
  window_.MoveMouse(100, 154);
  ASSERT_TRUE(WindowState.hoverLaunch);
  window_.Post(WM_MOUSELEAVE);
  EXPECT_FALSE(WindowState.hoverLaunch || WindowState.hoverShortcut || WindowState.hoverFinish);
}

TEST_F(SetupWindowTest, LeavingThroughTheButtonClearsItsHoverOnTheSystemsLeaveNotice) {
  FinishWith(Operation::Install);
  const SIZE client = window_.ClientSize();
  window_.MoveMouse(client.cx - 100, client.cy - 50);
  ASSERT_TRUE(WindowState.hoverFinish);
  // The pointer really leaves; the tracking that the move asked for reports it.
  SetCursorPos(5, 5);
  for (int i = 0; i < 200 && WindowState.hoverFinish; ++i) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    test::PumpMessages();
  }
  EXPECT_FALSE(WindowState.hoverFinish);
}

// The cursor the window sets over its client area.
struct CursorRow {
  const char* name;
  bool finishScreen;
  int x;  // the pointer's client position
  int y;
  WORD hitCode;
  LPCWSTR expected;
};

void PrintTo(const CursorRow& row, std::ostream* out) { *out << row.name; }

class SetupWindowCursorTest : public SetupWindowTest, public ::testing::WithParamInterface<CursorRow> {};

TEST_P(SetupWindowCursorTest, CursorShowsWhatAClickWouldDo) {
  const CursorRow& row = GetParam();
  if (row.finishScreen) FinishWith(Operation::Install);
  POINT screen = {row.x, row.y};
  ClientToScreen(window_.Window(), &screen);
  SetCursorPos(screen.x, screen.y);
  test::PumpMessages();
  SetCursor(LoadCursorW(nullptr, IDC_IBEAM));
  SendMessageW(window_.Window(), WM_SETCURSOR, reinterpret_cast<WPARAM>(window_.Window()),
               MAKELPARAM(row.hitCode, WM_MOUSEMOVE));
  EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, row.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SetupWindowCursorTest,
    ::testing::Values(CursorRow{"HandOverAnOption", true, 100, 190, HTCLIENT, IDC_HAND},
                      CursorRow{"ArrowInTheGap", true, 58, 190, HTCLIENT, IDC_ARROW},
                      CursorRow{"ArrowOnTheProgressScreen", false, 40, 150, HTCLIENT, IDC_ARROW}),
    [](const ::testing::TestParamInfo<CursorRow>& info) { return std::string(info.param.name); });

struct PlacementRow {
  const char* name;
  int width;
  int height;
  bool useCursorMonitor;
  RECT expected;
};

void PrintTo(const PlacementRow& row, std::ostream* out) { *out << row.name; }

class PlaceWindowOnMonitorTest : public SetupWindowTest,
                                 public ::testing::WithParamInterface<PlacementRow> {};

TEST_P(PlaceWindowOnMonitorTest, CentresTheOuterSizeInTheWorkArea) {
  const PlacementRow& row = GetParam();
  SetCursorPos(1000, 700);
  PlaceWindowOnMonitor(window_.Window(), row.width, row.height, row.useCursorMonitor);
  EXPECT_TRUE(SameRect(window_.WindowRect(), row.expected)) << Describe(window_.WindowRect());
}

INSTANTIATE_TEST_SUITE_P(
    Rows, PlaceWindowOnMonitorTest,
    ::testing::Values(PlacementRow{"StartSizeUnderTheCursor", 500, 216, true, {390, 292, 890, 508}},
                      PlacementRow{"FinishSizeNearTheWindow", 520, 340, false, {380, 230, 900, 570}},
                      PlacementRow{"OddSizeTruncates", 501, 217, false, {389, 291, 890, 508}},
                      PlacementRow{
                          "LargerThanTheWorkAreaTruncatesTowardZero", 1291, 811, false, {-5, -5, 1286, 806}}),
    [](const ::testing::TestParamInfo<PlacementRow>& info) { return std::string(info.param.name); });

// Moved to a monitor of another scale, or the scale changed: the window takes the rectangle
// the system suggests for the new DPI.
TEST_F(SetupWindowTest, DpiChangeTakesTheSuggestedRectangle) {
  RECT suggested = {100, 120, 100 + 750, 120 + 324};
  SendMessageW(window_.Window(), WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
  EXPECT_TRUE(SameRect(window_.WindowRect(), suggested)) << Describe(window_.WindowRect());
  EXPECT_TRUE(window_.Alive());
}

TEST_F(SetupWindowTest, PlacingNoWindowDoesNothing) {
  PlaceWindowOnMonitor(nullptr, 520, 340, false);
  EXPECT_TRUE(SameRect(window_.WindowRect(), kStartRect)) << Describe(window_.WindowRect());
}

}  // namespace
}  // namespace velmora

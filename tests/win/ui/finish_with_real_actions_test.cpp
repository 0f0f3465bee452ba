// The Finish sequence with the program's own post-install actions: the sample Velmora.exe is
// the installed product, the desktop is a folder of the test's own, and nothing is faked.
#include <objbase.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/setup_state.h"
#include "launch/win/desktop_shortcut.h"
#include "ui/setup_window_state.h"
#include "launch/win/launch_installed_app.h"
#include "launch_support.h"
#include "ui/win/finish_sequence.h"
#include "ui_dialog_driver.h"
#include "ui_window_support.h"

namespace velmora {
namespace {

using Lines = std::vector<std::string>;

TEST(FinishCallsDefaults, AreTheProgramsShortcutAndLaunch) {
  using Action = bool (*)();
  using Launch = bool (*)(const LaunchCalls&);
  const FinishCalls defaults;
  const Action* shortcut = defaults.createDesktopShortcut.target<Action>();
  const Launch* launch = defaults.launchInstalledApp.target<Launch>();
  ASSERT_NE(shortcut, nullptr);
  ASSERT_NE(launch, nullptr);
  EXPECT_EQ(*shortcut, &CreateDesktopShortcut);
  EXPECT_EQ(*launch, &LaunchInstalledApp);
}

class FinishWithRealActions : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    ASSERT_EQ(FindApplicationWindow(), nullptr) << "a Velmora window was open before the test";
    CreateDirectoryW(desktop_.c_str(), nullptr);
    install_.SetControl("report");
    SetupOperation.exchange(Operation::Install);
    window_.ShowFinishScreen();
  }
  void TearDown() override {
    install_.EndLaunched(window_.LogLines());
    CoUninitialize();
  }

  void ClickFinish() {
    const SIZE size = window_.ClientSize();
    window_.ReleaseLeftButton(size.cx - 100, size.cy - 50);
  }

  // The position of the first message that starts with the prefix; the count when none does.
  std::size_t IndexOf(const std::string& prefix) const {
    const Lines lines = window_.LogLines();
    return std::find_if(lines.begin(), lines.end(),
                        [&](const std::string& line) { return line.rfind(prefix, 0) == 0; }) -
           lines.begin();
  }

  test::SetupWindowFixture window_;  // holds the log as well
  test::SampleInstall install_;
  test::TempFolder desktopRoot_;
  const std::wstring desktop_ = desktopRoot_ / L"Desktop";
  test::RedirectedDesktop redirect_{desktop_};
};

TEST_F(FinishWithRealActions, BothOptionsMakeTheLinkThenOpenVelmoraThenClose) {
  ClickFinish();
  EXPECT_FALSE(window_.Alive());
  EXPECT_TRUE(test::PathExists(desktop_ + L"\\Velmora.lnk"));
  EXPECT_NE(FindApplicationWindow(), nullptr);
  const Lines lines = window_.LogLines();
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[0], "Finish screen shown for operation 1.");
  EXPECT_EQ(lines[1], "Finish requested: launch=1 shortcut=1.");
  EXPECT_EQ(lines[2], "Desktop shortcut created: " + test::Narrow(desktop_ + L"\\Velmora.lnk"));
  EXPECT_LT(IndexOf("Desktop shortcut created"), IndexOf("Launching "));
  EXPECT_LT(IndexOf("Launching "), lines.size());
  EXPECT_LT(IndexOf("Velmora window is visible."), lines.size());
}

TEST_F(FinishWithRealActions, MissingDesktopWarnsInABoxOwnedByTheWindowThenStillOpensVelmora) {
  const test::RedirectedDesktop missing(desktopRoot_ / L"No Such Desktop");
  test::DialogDriver driver(L"Velmora Setup", {{IDOK, false}}, [this] { return window_.LogLines(); });
  ClickFinish();
  const std::vector<test::SeenDialog> seen = driver.Finish();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].owner, window_.Window());
  EXPECT_TRUE(test::ShowsText(seen[0],
                              L"Velmora was installed successfully, but the desktop shortcut could not be "
                              L"created.\n\nTry opening Velmora from the Start menu."));
  // The box came up after the shortcut failed and before the launch began.
  EXPECT_EQ(seen[0].logWhenShown,
            (Lines{"Finish screen shown for operation 1.", "Finish requested: launch=1 shortcut=1.",
                   "Desktop shortcut skipped: desktop folder could not be found."}));
  EXPECT_FALSE(window_.Alive());
  EXPECT_NE(FindApplicationWindow(), nullptr);
  EXPECT_FALSE(test::PathExists(desktop_ + L"\\Velmora.lnk"));
}

TEST_F(FinishWithRealActions, EscapeOnTheFinishScreenNeitherLinksNorOpens) {
  window_.PressKey(VK_ESCAPE);
  EXPECT_FALSE(window_.Alive());
  EXPECT_FALSE(test::PathExists(desktop_ + L"\\Velmora.lnk"));
  EXPECT_EQ(FindApplicationWindow(), nullptr);
  EXPECT_EQ(window_.LogLines(), Lines{"Finish screen shown for operation 1."});
}

// With no signed-in user's token (Explorer ended, a service or SYSTEM context) the launch and
// the link would act as administrator: the finish screen offers neither, shows the result and
// sends the user to the Start menu, and Finish only closes.
TEST(FinishWithoutASignedInUser, OffersNeitherActionAndFinishDoesNeither) {
  ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
  test::SampleInstall install;
  install.SetControl("report");
  const test::TempFolder desktopRoot;
  const std::wstring desktop = desktopRoot / L"Desktop";
  CreateDirectoryW(desktop.c_str(), nullptr);
  const test::RedirectedDesktop redirect(desktop);
  {
    test::SetupWindowFixture window;
    window.EndDesktopShell();
    SetupOperation.exchange(Operation::Update);
    window.ShowFinishScreen();
    EXPECT_FALSE(WindowState.actionsOffered);
    // Where the option boxes would be, the screen is as blank as beside them.
    const test::Capture client = test::CaptureClient(window.Window());
    EXPECT_EQ(client.At(42, 154), client.At(300, 154));
    EXPECT_EQ(client.At(42, 190), client.At(300, 190));
    window.ReleaseLeftButton(40, 154);
    EXPECT_FALSE(WindowState.launchSelected);
    const SIZE size = window.ClientSize();
    window.ReleaseLeftButton(size.cx - 100, size.cy - 50);
    EXPECT_FALSE(window.Alive());
    EXPECT_EQ(
        window.LogLines(),
        (Lines{"Finish screen shown for operation 2.",
               "No signed-in user's token (no shell window): Velmora is not launched and no desktop "
               "shortcut is created, rather than as administrator; the user opens Velmora from the Start "
               "menu.",
               "Finish requested: launch=0 shortcut=0."}));
  }
  EXPECT_FALSE(test::PathExists(desktop + L"\\Velmora.lnk"));
  EXPECT_EQ(FindApplicationWindow(), nullptr);
  EXPECT_TRUE(install.Report().empty()) << "Velmora was started";
  CoUninitialize();
}

}  // namespace
}  // namespace velmora

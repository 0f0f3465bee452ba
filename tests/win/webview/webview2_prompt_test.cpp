#include "webview/win/webview2_prompt.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "base/setup_state.h"
#include "ui/setup_window_state.h"
#include "webview/win/webview2_detection.h"
#include "ui_dialog_driver.h"
#include "ui_window_support.h"

namespace velmora {
namespace {

using test::DialogAnswer;
using test::SeenDialog;

constexpr wchar_t kFirstInstruction[] = L"Microsoft Edge WebView2 Runtime is missing";
constexpr wchar_t kSecondInstruction[] = L"Install WebView2, then recheck";
constexpr wchar_t kFirstBox[] =
    L"Microsoft Edge WebView2 Runtime is missing.\n\nOpen the official Microsoft download page now?";
constexpr wchar_t kSecondBox[] =
    L"Click Yes after installing WebView2 to recheck, or No to continue without it.";
constexpr wchar_t kStillMissingBox[] =
    L"Microsoft Edge WebView2 Runtime is still missing.\n\nVelmora can open, but web sign-in may "
    L"not work until it is installed.";

// The runtime's download link on the link-redirection host.
constexpr wchar_t kDownloadPage[] = L"https://go.microsoft.com/fwlink/p/?LinkId=2124703";

constexpr char kPresent[] = "Microsoft Edge WebView2 Runtime is present.";
constexpr char kMissing[] = "Microsoft Edge WebView2 Runtime is missing.";
constexpr char kDismissed[] = "WebView2 prompt dismissed; continuing without it.";
constexpr char kSkipped[] = "WebView2 installation was skipped.";
constexpr char kNowInstalled[] = "WebView2 runtime is now installed.";
constexpr char kRecheckFailed[] = "WebView2 recheck failed; runtime is still missing.";

DialogAnswer Choose(int command) { return {command, false, nullptr}; }
DialogAnswer CloseDialog() { return {0, true, nullptr}; }

// The prompt runs against the real setup window, the real task dialogs and message boxes and
// the real runtime detection, whose three folder roots are folders of the test's own: the
// runtime is "installed" by placing its executable where the detection looks. The browser is
// at the prompt's seam, and for the fallback rows the task dialog is made to fail there.
class WebView2PromptFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    webView2PromptDone = false;
    ASSERT_FALSE(IsWebView2RuntimeInstalled()) << "the prefix already lists a WebView2 runtime";
    calls_.isRuntimeInstalled = [this](const WebView2DetectionCalls& detection) {
      ++detectionCalls_;
      return IsWebView2RuntimeInstalled(detection);
    };
    calls_.openDownloadPage = [this](const wchar_t* url) { pagesOpened_.push_back(url); };
  }
  void TearDown() override { webView2PromptDone = false; }

  // What the runtime's installer leaves behind for the detection to find.
  void InstallRuntime() {
    const std::wstring application = roots_ / L"local\\Microsoft\\EdgeWebView\\Application";
    std::filesystem::create_directories(application + L"\\120.0.2210.91");
    test::WriteWholeFile(application + L"\\120.0.2210.91\\msedgewebview2.exe", "MZ");
  }

  // The answer a user gives after installing the runtime from the opened page.
  DialogAnswer InstallThenChoose(int command) {
    return {command, false, [this] { InstallRuntime(); }};
  }

  void FailTaskDialogAtSeam() {
    calls_.showTaskDialog = [this](const TASKDIALOGCONFIG&, int&) {
      ++taskDialogFailures_;
      return E_FAIL;
    };
  }

  // Runs the prompt on this thread while the driver answers its dialogs.
  std::vector<SeenDialog> Prompt(std::vector<DialogAnswer> answers) {
    test::DialogDriver driver(L"Velmora Setup", std::move(answers), [this] { return window_.LogLines(); });
    PromptForWebView2(calls_);
    return driver.Finish();
  }

  test::SetupWindowFixture window_;
  test::TempFolder roots_;
  test::ScopedEnvironmentVariable programFilesX86_{L"ProgramFiles(x86)", roots_ / L"x86"};
  test::ScopedEnvironmentVariable programFiles_{L"ProgramFiles", roots_ / L"x64"};
  test::ScopedEnvironmentVariable localAppData_{L"LOCALAPPDATA", roots_ / L"local"};
  std::size_t detectionCalls_ = 0;
  std::vector<std::wstring> pagesOpened_;
  int taskDialogFailures_ = 0;
  WebView2PromptCalls calls_;
};

// One answer of a row: a button, or the close button, optionally after installing the runtime.
struct Answer {
  int command;
  bool close = false;
  bool installRuntimeFirst = false;
};

constexpr Answer kNotNow{kContinueWithoutButton};
constexpr Answer kContinueWithout{kContinueWithoutButton};
constexpr Answer kClose{0, true};
constexpr Answer kInstall{kInstallButton};
constexpr Answer kRecheck{kRecheckButton};
constexpr Answer kInstalledThenRecheck{kRecheckButton, false, true};
constexpr Answer kYes{IDYES};
constexpr Answer kNo{IDNO};
constexpr Answer kInstalledThenYes{IDYES, false, true};
constexpr Answer kOk{IDOK};

struct PromptRow {
  const char* name;
  bool taskDialogFails;
  bool presentAtStart;
  std::vector<Answer> answers;
  std::vector<std::wstring> dialogsShown;  // a text that identifies each dialog, in order
  std::vector<std::string> log;
  bool missingAfterwards;
  bool pageOpened;
  std::size_t detections;  // the first check, and the one recheck when asked for
};

void PrintTo(const PromptRow& row, std::ostream* out) { *out << row.name; }

class WebView2PromptOutcomeAtSeam : public WebView2PromptFixture,
                                    public ::testing::WithParamInterface<PromptRow> {};

TEST_P(WebView2PromptOutcomeAtSeam, LogsInOrderAndLeavesTheWarningFlag) {
  const PromptRow& row = GetParam();
  if (row.presentAtStart) InstallRuntime();
  if (row.taskDialogFails) FailTaskDialogAtSeam();
  std::vector<DialogAnswer> answers;
  for (const Answer& answer : row.answers) {
    answers.push_back(answer.installRuntimeFirst ? InstallThenChoose(answer.command)
                      : answer.close             ? CloseDialog()
                                                 : Choose(answer.command));
  }

  const std::vector<SeenDialog> seen = Prompt(std::move(answers));

  ASSERT_EQ(seen.size(), row.dialogsShown.size());
  for (std::size_t i = 0; i < seen.size(); ++i) {
    EXPECT_TRUE(seen[i].expected);
    EXPECT_TRUE(test::ShowsText(seen[i], row.dialogsShown[i])) << "dialog " << i;
    EXPECT_TRUE(test::ShowsText(seen[i], L"Velmora Setup")) << "dialog " << i;
    EXPECT_EQ(seen[i].owner, window_.Window()) << "dialog " << i;
  }
  EXPECT_EQ(window_.LogLines(), row.log);
  EXPECT_EQ(WindowState.webView2Missing, row.missingAfterwards);
  EXPECT_EQ(detectionCalls_, row.detections);
  EXPECT_EQ(pagesOpened_,
            row.pageOpened ? std::vector<std::wstring>{kDownloadPage} : std::vector<std::wstring>{});
  EXPECT_EQ(taskDialogFailures_ > 0, row.taskDialogFails);

  // The worker's run ends: the finish screen's body carries the warning below its first line
  // exactly when the runtime is still missing.
  window_.ShowFinishScreen();
  const test::Capture finish = test::CaptureClient(window_.Window());
  EXPECT_EQ(finish.InkPixels(32, 94, window_.ClientSize().cx - 64, 40) > 0, row.missingAfterwards);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, WebView2PromptOutcomeAtSeam,
    ::testing::Values(
        PromptRow{"RuntimePresent", false, true, {}, {}, {kPresent}, false, false, 1},
        PromptRow{"MissingNotNow",
                  false,
                  false,
                  {kNotNow},
                  {kFirstInstruction},
                  {kMissing, kDismissed},
                  true,
                  false,
                  1},
        PromptRow{"MissingDialogClosed",
                  false,
                  false,
                  {kClose},
                  {kFirstInstruction},
                  {kMissing, kDismissed},
                  true,
                  false,
                  1},
        PromptRow{"InstallThenContinueWithout",
                  false,
                  false,
                  {kInstall, kContinueWithout},
                  {kFirstInstruction, kSecondInstruction},
                  {kMissing, kSkipped},
                  true,
                  true,
                  1},
        PromptRow{"InstallThenSecondDialogClosed",
                  false,
                  false,
                  {kInstall, kClose},
                  {kFirstInstruction, kSecondInstruction},
                  {kMissing, kSkipped},
                  true,
                  true,
                  1},
        PromptRow{"InstallRecheckNowPresent",
                  false,
                  false,
                  {kInstall, kInstalledThenRecheck},
                  {kFirstInstruction, kSecondInstruction},
                  {kMissing, kNowInstalled},
                  false,
                  true,
                  2},
        PromptRow{"InstallRecheckStillMissing",
                  false,
                  false,
                  {kInstall, kRecheck, kOk},
                  {kFirstInstruction, kSecondInstruction, kStillMissingBox},
                  {kMissing, kRecheckFailed},
                  true,
                  true,
                  2},
        PromptRow{"FallbackNo", true, false, {kNo}, {kFirstBox}, {kMissing, kDismissed}, true, false, 1},
        PromptRow{"FallbackYesThenNo",
                  true,
                  false,
                  {kYes, kNo},
                  {kFirstBox, kSecondBox},
                  {kMissing, kSkipped},
                  true,
                  true,
                  1},
        PromptRow{"FallbackYesYesNowPresent",
                  true,
                  false,
                  {kYes, kInstalledThenYes},
                  {kFirstBox, kSecondBox},
                  {kMissing, kNowInstalled},
                  false,
                  true,
                  2},
        PromptRow{"FallbackYesYesStillMissing",
                  true,
                  false,
                  {kYes, kYes, kOk},
                  {kFirstBox, kSecondBox, kStillMissingBox},
                  {kMissing, kRecheckFailed},
                  true,
                  true,
                  2}),
    [](const ::testing::TestParamInfo<PromptRow>& info) { return std::string(info.param.name); });

TEST(WebView2PromptCallsDefaults, AreTheDetectionTheTaskDialogAndTheBrowser) {
  using Detection = bool (*)(const WebView2DetectionCalls&);
  using TaskDialog = HRESULT (*)(const TASKDIALOGCONFIG&, int&);
  using Browser = void (*)(const wchar_t*);
  const WebView2PromptCalls defaults;
  const auto* detection = defaults.isRuntimeInstalled.target<Detection>();
  const auto* taskDialog = defaults.showTaskDialog.target<TaskDialog>();
  const auto* browser = defaults.openDownloadPage.target<Browser>();
  ASSERT_TRUE(detection != nullptr && taskDialog != nullptr && browser != nullptr);
  EXPECT_EQ(*detection, &IsWebView2RuntimeInstalled);
  EXPECT_EQ(*taskDialog, &ShowSystemTaskDialog);
  EXPECT_EQ(*browser, &OpenPageInDefaultBrowser);
}

TEST_F(WebView2PromptFixture, FirstDialogOffersInstallAndNotNowWithTheFullExplanationAtSeam) {
  const std::vector<SeenDialog> seen = Prompt({Choose(101)});
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_TRUE(test::ShowsText(seen[0], L"Install"));
  EXPECT_TRUE(test::ShowsText(seen[0], L"Not now"));
  EXPECT_TRUE(test::ShowsText(
      seen[0],
      L"Velmora uses the Microsoft Edge WebView2 Runtime for secure browser sign-in and web pages."
      L"\n\nInstall it from Microsoft, then click Recheck. Velmora can still open without it, but "
      L"web sign-in may not work."));
}

TEST_F(WebView2PromptFixture, SecondDialogOffersRecheckAndContinueWithoutAtSeam) {
  const std::vector<SeenDialog> seen = Prompt({Choose(100), Choose(101)});
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_TRUE(test::ShowsText(seen[1], L"Recheck"));
  EXPECT_TRUE(test::ShowsText(seen[1], L"Continue without"));
  EXPECT_TRUE(test::ShowsText(seen[1], L"After the Microsoft installer finishes, click Recheck."));
}

TEST_F(WebView2PromptFixture, StillMissingWarningComesBeforeTheFailureLineAtSeam) {
  const std::vector<SeenDialog> seen = Prompt({Choose(100), Choose(102), Choose(IDOK)});
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[2].logWhenShown, (std::vector<std::string>{kMissing}));
  EXPECT_EQ(window_.LogLines(), (std::vector<std::string>{kMissing, kRecheckFailed}));
}

TEST_F(WebView2PromptFixture, SecondCallDoesNothingAndLogsNothingAtSeam) {
  Prompt({Choose(101)});
  InstallRuntime();
  detectionCalls_ = 0;
  const std::vector<SeenDialog> again = Prompt({});
  EXPECT_TRUE(again.empty());
  EXPECT_EQ(detectionCalls_, 0u);
  EXPECT_EQ(window_.LogLines(), (std::vector<std::string>{kMissing, kDismissed}));
  EXPECT_TRUE(WindowState.webView2Missing);
}

}  // namespace
}  // namespace velmora

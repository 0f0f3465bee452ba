#include "webview/webview2_prompt.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/setup_state.h"
#include "ui/setup_window_state.h"
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

constexpr DialogAnswer Choose(int command) { return {command, false}; }
constexpr DialogAnswer CloseDialog() { return {0, true}; }

// The prompt runs against the real setup window and the real task dialogs and message boxes;
// the runtime detection and the browser are at the prompt's seams, and for the fallback rows
// the task dialog is made to fail there.
class WebView2PromptFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = WebView2PromptSeamsInUse;
    webView2PromptDone = false;
    WebView2PromptSeamsInUse.isRuntimeInstalled = [this] {
      const bool installed = detectionCalls_ < detection_.size() && detection_[detectionCalls_];
      ++detectionCalls_;
      return installed;
    };
    WebView2PromptSeamsInUse.openDownloadPage = [this](const wchar_t* url) { pagesOpened_.push_back(url); };
  }
  void TearDown() override {
    WebView2PromptSeamsInUse = saved_;
    webView2PromptDone = false;
  }

  void FailTaskDialogAtSeam() {
    WebView2PromptSeamsInUse.showTaskDialog = [this](const TASKDIALOGCONFIG&, int&) {
      ++taskDialogFailures_;
      return E_FAIL;
    };
  }

  // Runs the prompt on this thread while the driver answers its dialogs.
  std::vector<SeenDialog> Prompt(std::vector<DialogAnswer> answers) {
    test::DialogDriver driver(L"Velmora Setup", std::move(answers), [this] { return window_.LogLines(); });
    PromptForWebView2();
    return driver.Finish();
  }

  test::SetupWindowFixture window_;
  std::vector<bool> detection_;
  std::size_t detectionCalls_ = 0;
  std::vector<std::wstring> pagesOpened_;
  int taskDialogFailures_ = 0;
  WebView2PromptSeams saved_;
};

struct PromptRow {
  const char* name;
  bool taskDialogFails;
  std::vector<bool> detection;  // first check, then the recheck
  std::vector<DialogAnswer> answers;
  std::vector<std::wstring> dialogsShown;  // a text that identifies each dialog, in order
  std::vector<std::string> log;
  bool missingAfterwards;
  bool pageOpened;
};

void PrintTo(const PromptRow& row, std::ostream* out) { *out << row.name; }

class WebView2PromptOutcomeAtSeam : public WebView2PromptFixture,
                                    public ::testing::WithParamInterface<PromptRow> {};

TEST_P(WebView2PromptOutcomeAtSeam, LogsInOrderAndLeavesTheWarningFlag) {
  const PromptRow& row = GetParam();
  detection_ = row.detection;
  if (row.taskDialogFails) FailTaskDialogAtSeam();

  const std::vector<SeenDialog> seen = Prompt(row.answers);

  ASSERT_EQ(seen.size(), row.dialogsShown.size());
  for (std::size_t i = 0; i < seen.size(); ++i) {
    EXPECT_TRUE(seen[i].expected);
    EXPECT_TRUE(test::ShowsText(seen[i], row.dialogsShown[i])) << "dialog " << i;
    EXPECT_TRUE(test::ShowsText(seen[i], L"Velmora Setup")) << "dialog " << i;
    EXPECT_EQ(seen[i].owner, window_.Window()) << "dialog " << i;
  }
  EXPECT_EQ(window_.LogLines(), row.log);
  EXPECT_EQ(WindowState.webView2Missing, row.missingAfterwards);
  EXPECT_EQ(detectionCalls_, row.detection.size());
  EXPECT_EQ(pagesOpened_, row.pageOpened ? std::vector<std::wstring>{kDownloadPage}
                                         : std::vector<std::wstring>{});
  EXPECT_EQ(taskDialogFailures_ > 0, row.taskDialogFails);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, WebView2PromptOutcomeAtSeam,
    ::testing::Values(
        PromptRow{"RuntimePresent", false, {true}, {}, {}, {kPresent}, false, false},
        PromptRow{"MissingNotNow", false, {false}, {Choose(101)}, {kFirstInstruction},
                  {kMissing, kDismissed}, true, false},
        PromptRow{"MissingDialogClosed", false, {false}, {CloseDialog()}, {kFirstInstruction},
                  {kMissing, kDismissed}, true, false},
        PromptRow{"InstallThenContinueWithout", false, {false}, {Choose(100), Choose(101)},
                  {kFirstInstruction, kSecondInstruction}, {kMissing, kSkipped}, true, true},
        PromptRow{"InstallThenSecondDialogClosed", false, {false}, {Choose(100), CloseDialog()},
                  {kFirstInstruction, kSecondInstruction}, {kMissing, kSkipped}, true, true},
        PromptRow{"InstallRecheckNowPresent", false, {false, true}, {Choose(100), Choose(102)},
                  {kFirstInstruction, kSecondInstruction}, {kMissing, kNowInstalled}, false, true},
        PromptRow{"InstallRecheckStillMissing", false, {false, false},
                  {Choose(100), Choose(102), Choose(IDOK)},
                  {kFirstInstruction, kSecondInstruction, kStillMissingBox},
                  {kMissing, kRecheckFailed}, true, true},
        PromptRow{"FallbackNo", true, {false}, {Choose(IDNO)}, {kFirstBox}, {kMissing, kDismissed},
                  true, false},
        PromptRow{"FallbackYesThenNo", true, {false}, {Choose(IDYES), Choose(IDNO)},
                  {kFirstBox, kSecondBox}, {kMissing, kSkipped}, true, true},
        PromptRow{"FallbackYesYesNowPresent", true, {false, true}, {Choose(IDYES), Choose(IDYES)},
                  {kFirstBox, kSecondBox}, {kMissing, kNowInstalled}, false, true},
        PromptRow{"FallbackYesYesStillMissing", true, {false, false},
                  {Choose(IDYES), Choose(IDYES), Choose(IDOK)},
                  {kFirstBox, kSecondBox, kStillMissingBox}, {kMissing, kRecheckFailed}, true, true}),
    [](const ::testing::TestParamInfo<PromptRow>& info) { return std::string(info.param.name); });

TEST_F(WebView2PromptFixture, FirstDialogOffersInstallAndNotNowWithTheFullExplanationAtSeam) {
  detection_ = {false};
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
  detection_ = {false};
  const std::vector<SeenDialog> seen = Prompt({Choose(100), Choose(101)});
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_TRUE(test::ShowsText(seen[1], L"Recheck"));
  EXPECT_TRUE(test::ShowsText(seen[1], L"Continue without"));
  EXPECT_TRUE(test::ShowsText(seen[1], L"After the Microsoft installer finishes, click Recheck."));
}

TEST_F(WebView2PromptFixture, StillMissingWarningComesBeforeTheFailureLineAtSeam) {
  detection_ = {false, false};
  const std::vector<SeenDialog> seen = Prompt({Choose(100), Choose(102), Choose(IDOK)});
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[2].logWhenShown, (std::vector<std::string>{kMissing}));
  EXPECT_EQ(window_.LogLines(), (std::vector<std::string>{kMissing, kRecheckFailed}));
}

TEST_F(WebView2PromptFixture, SecondCallDoesNothingAndLogsNothingAtSeam) {
  detection_ = {false};
  Prompt({Choose(101)});
  detection_ = {true};
  detectionCalls_ = 0;
  const std::vector<SeenDialog> again = Prompt({});
  EXPECT_TRUE(again.empty());
  EXPECT_EQ(detectionCalls_, 0u);
  EXPECT_EQ(window_.LogLines(), (std::vector<std::string>{kMissing, kDismissed}));
  EXPECT_TRUE(WindowState.webView2Missing);
}

}  // namespace
}  // namespace velmora

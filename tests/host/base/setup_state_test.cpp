#include "base/setup_state.h"

#include <gtest/gtest.h>

#include "recorded_posts.h"

namespace velmora {
namespace {

WindowHandle const kWindow = reinterpret_cast<WindowHandle>(0x1234);

class SetupStateTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetSetupState(kWindow); }
  void TearDown() override { ResetSetupState(nullptr); }
};

TEST_F(SetupStateTest, SetStatusStoresTextThenPostsStatus) {
  SetStatus(L"Checking for the latest Velmora installer...");
  EXPECT_EQ(CopyStatusText(), L"Checking for the latest Velmora installer...");
  EXPECT_EQ(RecordedPosts(), (std::vector<RecordedPost>{{kWindow, WM_SETUP_STATUS, 0}}));
}

TEST_F(SetupStateTest, SelfAssignmentKeepsTheText) {
  SetStatus(L"same");
  SetStatus(StatusText);
  EXPECT_EQ(CopyStatusText(), L"same");
  EXPECT_EQ(RecordedPosts().size(), 2u);
}

TEST_F(SetupStateTest, WithoutWindowStateChangesButNothingIsPosted) {
  SetupWindowHandle = nullptr;
  SetStatus(L"text");
  PostProgress(40);
  FailSetup(FailureCause::Setup, L"boom");
  EXPECT_EQ(CopyStatusText(), L"text");
  EXPECT_EQ(CopyErrorText(), L"boom");
  EXPECT_EQ(SetupOutcome.load(), Outcome::Failed);
  EXPECT_FALSE(SetupBusy.load());
  EXPECT_TRUE(RecordedPosts().empty());
}

TEST_F(SetupStateTest, PostProgressClampsToPercentRange) {
  const std::vector<std::pair<int, std::uintptr_t>> cases = {
      {150, 100}, {-3, 0}, {0, 0}, {100, 100}, {57, 57}};
  for (const auto& [given, posted] : cases) {
    RecordedPosts().clear();
    PostProgress(given);
    EXPECT_EQ(RecordedPosts(), (std::vector<RecordedPost>{{kWindow, WM_SETUP_PROGRESS, posted}})) << given;
  }
}

TEST_F(SetupStateTest, FailSetupKeepsExactMessageAndCauseAndClosesWindow) {
  FailSetup(FailureCause::PackageCheck, L"The downloaded installer failed its integrity check.");
  EXPECT_EQ(CopyErrorText(), L"The downloaded installer failed its integrity check.");
  EXPECT_EQ(SetupOutcome.load(), Outcome::Failed);
  EXPECT_EQ(SetupFailureCause.load(), FailureCause::PackageCheck);
  EXPECT_FALSE(SetupBusy.load());
  EXPECT_EQ(RecordedPosts(), (std::vector<RecordedPost>{{kWindow, WM_SETUP_CLOSE, 0}}));
  EXPECT_EQ(StatesAtPosts(), (std::vector<StateAtPost>{{Outcome::Failed, false}}));
}

TEST_F(SetupStateTest, FinalReportsStoreOutcomeClearBusyAndPostTheirMessage) {
  struct Case {
    void (*report)(Outcome);
    Outcome outcome;
    std::uint32_t message;
    FailureCause cause;
  };
  const auto closeBusy = [](Outcome outcome) { CloseSetup(outcome, FailureCause::AnotherInstallRunning); };
  const auto close = [](Outcome outcome) { CloseSetup(outcome); };
  for (const Case& c :
       {Case{FinishSetup, Outcome::UpToDate, WM_SETUP_FINISH, FailureCause::None},
        Case{FinishSetup, Outcome::Installed, WM_SETUP_FINISH, FailureCause::None},
        Case{closeBusy, Outcome::InstallFailed, WM_SETUP_CLOSE, FailureCause::AnotherInstallRunning},
        Case{close, Outcome::Cancelled, WM_SETUP_CLOSE, FailureCause::None}}) {
    ResetSetupState(kWindow);
    c.report(c.outcome);
    EXPECT_EQ(SetupOutcome.load(), c.outcome);
    EXPECT_EQ(SetupFailureCause.load(), c.cause);
    EXPECT_FALSE(SetupBusy.load());
    EXPECT_TRUE(ErrorText.empty());
    EXPECT_EQ(RecordedPosts(), (std::vector<RecordedPost>{{kWindow, c.message, 0}}));
    // The window reads both when the message arrives, so both are in place before the post.
    EXPECT_EQ(StatesAtPosts(), (std::vector<StateAtPost>{{c.outcome, false}}));
  }
}

// The worker offers and withdraws cancelling around each download; the window requests it.
// Each step from each state, and what the state becomes.
TEST_F(SetupStateTest, CancelIsGrantedOnlyWhileOfferedAndAGrantedRequestOutlivesTheWithdrawal) {
  enum class Step { Offer, Withdraw, Request };
  struct Case {
    CancelState from;
    Step step;
    bool result;  // of Withdraw and Request; Offer has none
    CancelState to;
  };
  const Case cases[] = {
      {CancelState::NotOffered, Step::Offer, true, CancelState::Offered},
      {CancelState::Offered, Step::Offer, true, CancelState::Offered},
      {CancelState::Requested, Step::Offer, true, CancelState::Requested},
      {CancelState::NotOffered, Step::Withdraw, true, CancelState::NotOffered},
      {CancelState::Offered, Step::Withdraw, true, CancelState::NotOffered},
      {CancelState::Requested, Step::Withdraw, false, CancelState::Requested},
      {CancelState::NotOffered, Step::Request, false, CancelState::NotOffered},
      {CancelState::Offered, Step::Request, true, CancelState::Requested},
      {CancelState::Requested, Step::Request, false, CancelState::Requested},
  };
  for (const Case& c : cases) {
    const int row = static_cast<int>(&c - cases);
    SetupCancel = c.from;
    bool result = true;
    switch (c.step) {
      case Step::Offer:
        OfferCancel();
        break;
      case Step::Withdraw:
        result = WithdrawCancel();
        break;
      case Step::Request:
        result = RequestCancel();
        break;
    }
    EXPECT_EQ(result, c.result) << row;
    EXPECT_EQ(SetupCancel.load(), c.to) << row;
    EXPECT_EQ(CancelRequested(), c.to == CancelState::Requested) << row;
  }
  EXPECT_TRUE(RecordedPosts().empty()) << "the worker, not the state, ends a cancelled run";
}

TEST_F(SetupStateTest, ProgressReporterPostsPercentAndStatusLine) {
  int last = -1;
  const std::wstring version = L"1.2.3";
  const DownloadProgress report = MakeDownloadProgressReporter(last, version);
  report(5242880, 10485760);
  EXPECT_EQ(last, 50);
  EXPECT_EQ(CopyStatusText(), L"Downloading Velmora 1.2.3... 50%  (5.0 of 10.0 MB)");
  EXPECT_EQ(RecordedPosts(),
            (std::vector<RecordedPost>{{kWindow, WM_SETUP_PROGRESS, 50}, {kWindow, WM_SETUP_STATUS, 0}}));
}

TEST_F(SetupStateTest, ProgressReporterIgnoresUnknownTotalAndRepeatedPercent) {
  int last = -1;
  const std::wstring version = L"1.1.7";
  const DownloadProgress report = MakeDownloadProgressReporter(last, version);
  report(100, 0);
  EXPECT_TRUE(RecordedPosts().empty());
  EXPECT_EQ(last, -1);
  report(0, 1000);   // 0 %
  report(4, 1000);   // still 0 %
  report(19, 1000);  // 1 %
  report(19, 1000);  // 1 % again
  EXPECT_EQ(RecordedPosts().size(), 4u);
  EXPECT_EQ(RecordedPosts()[2], (RecordedPost{kWindow, WM_SETUP_PROGRESS, 1}));
}

TEST_F(SetupStateTest, ProgressReporterDoesNotRepostAcrossARetry) {
  int last = -1;
  const std::wstring version = L"1.1.7";
  MakeDownloadProgressReporter(last, version)(0, 1000);  // first attempt fails at once
  ASSERT_EQ(RecordedPosts().size(), 2u);
  const DownloadProgress retry = MakeDownloadProgressReporter(last, version);
  retry(0, 1000);
  EXPECT_EQ(RecordedPosts().size(), 2u);
  retry(10, 1000);
  ASSERT_EQ(RecordedPosts().size(), 4u);
  EXPECT_EQ(RecordedPosts()[2], (RecordedPost{kWindow, WM_SETUP_PROGRESS, 1}));
}

TEST(DownloadStatusLine, LongVersionIsCutToFitTheLineBuffer) {
  const std::wstring version(600, L'9');
  const std::wstring line = FormatDownloadStatus(version, 42, 1048576, 2097152);
  EXPECT_EQ(line.size(), 255u);
  EXPECT_EQ(line.substr(0, 20), L"Downloading Velmora ");
  EXPECT_EQ(line.substr(20), std::wstring(235, L'9'));

  const std::wstring fits(200, L'7');
  const std::wstring whole = FormatDownloadStatus(fits, 42, 1048576, 2097152);
  EXPECT_EQ(whole, L"Downloading Velmora " + fits + L"... 42%  (1.0 of 2.0 MB)");
}

TEST(DownloadStatusLine, EveryPercentOfAHugeTotalIsPostedOnceInOrder) {
  ResetSetupState(kWindow);
  int last = -1;
  const std::wstring version = L"1.1.7";
  const DownloadProgress report = MakeDownloadProgressReporter(last, version);
  const std::uint64_t total = 536870912;
  for (std::uint64_t done = 0; done <= total; done += 262144) report(done, total);
  std::vector<std::uintptr_t> percents;
  for (const RecordedPost& post : RecordedPosts()) {
    if (post.message == WM_SETUP_PROGRESS) percents.push_back(post.wParam);
  }
  ASSERT_EQ(percents.size(), 101u);
  for (std::size_t i = 0; i < percents.size(); ++i) EXPECT_EQ(percents[i], i);
  ResetSetupState(nullptr);
}

}  // namespace
}  // namespace velmora

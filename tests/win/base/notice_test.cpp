// The one way the program tells the user something: a real box while someone watches, the same
// text as a log line when nobody does.
#include "base/win/notice.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "base/run_mode.h"
#include "msi_support.h"

namespace velmora::test::msi {
namespace {

// Restores the interactive mode whatever the test did.
class NoticeTest : public ::testing::Test {
 protected:
  void TearDown() override { SetupRunMode = RunMode::Interactive; }

  // Gives the notice while a second thread answers every box the way a person clicks OK, for
  // up to `attempts` looks 50 ms apart; returns the boxes seen.
  static std::vector<SeenDialog> TellWhileAnswering(const Notice& notice, int attempts) {
    std::vector<SeenDialog> seen;
    std::atomic<bool> told = false;
    std::thread person([&seen, &told, attempts] {
      DialogAnswerer answerer;
      for (int attempt = 0; attempt < attempts && (seen.empty() || !told); ++attempt) {
        for (const SeenDialog& dialog : answerer.AnswerOpenDialogs(GetCurrentProcessId()))
          seen.push_back(dialog);
        Sleep(50);
      }
    });
    TellUser(notice);
    told = true;
    person.join();
    return seen;
  }

  SetupLogCapture log;
};

TEST_F(NoticeTest, InteractiveRunShowsARealBoxWithCaptionTextIconAndNoOwner) {
  const struct {
    NoticeIcon icon;
    LPCWSTR systemIcon;
  } cases[] = {{NoticeIcon::Error, IDI_ERROR},
               {NoticeIcon::Warning, IDI_WARNING},
               {NoticeIcon::Information, IDI_INFORMATION}};
  for (const auto& c : cases) {
    const std::vector<SeenDialog> seen =
        TellWhileAnswering({c.icon, L"Windows Installer could not be found."}, 200);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].title, L"Velmora Setup");
    const auto& texts = seen[0].texts;
    EXPECT_NE(std::find(texts.begin(), texts.end(), L"Windows Installer could not be found."), texts.end());
    EXPECT_EQ(seen[0].owner, nullptr);
    EXPECT_EQ(seen[0].icon, LoadIconW(nullptr, c.systemIcon));
    EXPECT_NE(seen[0].icon, nullptr);
  }
  EXPECT_TRUE(log.Messages().empty()) << "the box alone tells it";
}

// Nothing may wait for a click: the text goes to the log, one line however many lines it has.
TEST_F(NoticeTest, UnattendedRunsLogTheTextAsOneLineAndShowNoBox) {
  for (const RunMode mode : {RunMode::Passive, RunMode::Quiet}) {
    SetupRunMode = mode;
    const std::vector<SeenDialog> seen = TellWhileAnswering(
        {NoticeIcon::Warning,
         L"Velmora was installed successfully, but Windows could not start it.\n\nTry opening it from the "
         L"Start menu.",
         L"Velmora"},
        10);
    EXPECT_TRUE(seen.empty());
  }
  EXPECT_EQ(log.Messages(),
            std::vector<std::string>(2,
                                     "Velmora was installed successfully, but Windows could not start it. "
                                     "Try opening it from the Start menu."));
}

}  // namespace
}  // namespace velmora::test::msi

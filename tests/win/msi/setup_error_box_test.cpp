#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "msi/win/msiexec_calls.h"
#include "msi_support.h"

namespace velmora::test::msi {
namespace {

// The real message box, answered from another thread the way a person would click OK.
TEST(SetupErrorBoxTest, RealBoxHasTheSetupCaptionTheTextAndTheErrorIconAndNoOwner) {
  std::vector<SeenDialog> seen;
  std::thread person([&seen] {
    DialogAnswerer answerer;
    for (int attempt = 0; attempt < 200 && seen.empty(); ++attempt) {
      seen = answerer.AnswerOpenDialogs(GetCurrentProcessId());
      Sleep(50);
    }
  });
  ShowSetupError(L"Windows Installer could not be found.");
  person.join();

  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].title, L"Velmora Setup");
  const auto& texts = seen[0].texts;
  EXPECT_NE(std::find(texts.begin(), texts.end(), L"Windows Installer could not be found."), texts.end());
  EXPECT_EQ(seen[0].owner, nullptr);
  EXPECT_EQ(seen[0].icon, LoadIconW(nullptr, IDI_ERROR));
  EXPECT_NE(seen[0].icon, nullptr);
}

}  // namespace
}  // namespace velmora::test::msi

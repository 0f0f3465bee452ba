#include "ui/screen_texts.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(FinishHeading, NamesWhatTheWorkerDid) {
  const struct {
    int operation;
    const wchar_t* heading;
  } cases[] = {
      {1, L"Velmora was installed successfully."},    {2, L"Velmora was updated successfully."},
      {3, L"Velmora was repaired successfully."},     {4, L"Velmora is already up to date."},
      {0, L"Velmora Setup completed successfully."},  {5, L"Velmora Setup completed successfully."},
      {-1, L"Velmora Setup completed successfully."},
  };
  for (const auto& c : cases) {
    EXPECT_STREQ(FinishHeading(static_cast<Operation>(c.operation)), c.heading) << c.operation;
  }
}

TEST(FinishBody, PutsTheRestartLineFirstAndTheWarningLastEachOnALineOfItsOwn) {
  const std::wstring prompt = L"Choose what happens when you click Finish.";
  const std::wstring warning =
      L"Microsoft Edge WebView2 Runtime is not installed. Web sign-in may be unavailable until it is "
      L"installed.";
  const std::wstring restart = L"Restart your computer to finish installing Velmora.";
  const struct {
    bool webView2Missing;
    bool restartRequired;
    std::wstring body;
  } cases[] = {
      {false, false, prompt},
      {true, false, prompt + L"\n" + warning},
      {false, true, restart + L"\n" + prompt},
      {true, true, restart + L"\n" + prompt + L"\n" + warning},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FinishBody(c.webView2Missing, c.restartRequired, true), c.body)
        << c.webView2Missing << " " << c.restartRequired;
  }
}

TEST(FinishBody, WithoutTheOptionsPointsToTheStartMenuAndKeepsTheOtherLines) {
  EXPECT_EQ(FinishBody(false, false, false), L"Open Velmora from the Start menu.");
  EXPECT_EQ(FinishBody(true, false, false),
            L"Open Velmora from the Start menu.\nMicrosoft Edge WebView2 Runtime is not "
            L"installed. Web sign-in may be unavailable until it is installed.");
  EXPECT_EQ(FinishBody(false, true, false),
            L"Restart your computer to finish installing Velmora.\nOpen Velmora from the Start menu.");
}

TEST(FinishButtonLabel, ShowsTheBusyLabelOnlyWhileFinishing) {
  EXPECT_STREQ(FinishButtonLabel(false, true), L"Finish");
  EXPECT_STREQ(FinishButtonLabel(false, false), L"Finish");
  EXPECT_STREQ(FinishButtonLabel(true, true), L"Opening...");
  EXPECT_STREQ(FinishButtonLabel(true, false), L"Finishing...");
}

TEST(ProgressStatusLine, StandsInForAnEmptyStatusOnly) {
  EXPECT_EQ(ProgressStatusLine(L""), L"Preparing your installation...");
  EXPECT_EQ(ProgressStatusLine(L"Install complete."), L"Install complete.");
  EXPECT_EQ(ProgressStatusLine(L" "), L" ");
}

TEST(ProgressScreenTexts, AreTheFixedTitleFooterAndOptionLabels) {
  EXPECT_STREQ(kProgressTitle, L"Setting up Velmora");
  EXPECT_STREQ(kProgressFooter, L"Please keep this window open.");
  EXPECT_STREQ(kLaunchOptionLabel, L"Launch Velmora");
  EXPECT_STREQ(kShortcutOptionLabel, L"Create a desktop shortcut");
}

}  // namespace
}  // namespace velmora

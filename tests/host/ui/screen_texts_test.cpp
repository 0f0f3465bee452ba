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

TEST(FinishBody, CarriesTheWarningOnALineOfItsOwnOnlyWhenTheRuntimeIsMissing) {
  EXPECT_EQ(FinishBody(false), L"Choose what happens when you click Finish.");
  EXPECT_EQ(FinishBody(true),
            L"Choose what happens when you click Finish.\nMicrosoft Edge WebView2 Runtime is not "
            L"installed. Web sign-in may be unavailable until it is installed.");
}

TEST(FinishBody, WithoutTheOptionsPointsToTheStartMenuAndKeepsTheWarning) {
  EXPECT_EQ(FinishBody(false, false), L"Open Velmora from the Start menu.");
  EXPECT_EQ(FinishBody(true, false),
            L"Open Velmora from the Start menu.\nMicrosoft Edge WebView2 Runtime is not "
            L"installed. Web sign-in may be unavailable until it is installed.");
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

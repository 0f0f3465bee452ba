#include "msi/win/stop_running_copies.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

#include "msi_support.h"

namespace velmora::test::msi {
namespace {

using Mode = RunningCopy::Mode;
using Lines = std::vector<std::string>;

std::string ClosedLine(DWORD pid) { return "Velmora process " + std::to_string(pid) + " closed when asked."; }
std::string NoWindowLine(DWORD pid) {
  return "Stopping existing Velmora process " + std::to_string(pid) + ": it has no window to ask.";
}
std::string ForcedLine(DWORD pid) {
  return "Stopping existing Velmora process " + std::to_string(pid) +
         ": it did not close within 10 seconds of being asked.";
}

// Real processes of the sample application, started under the names and folders of each case.
// The product record names `installed` as the install folder, as an installed product's does.
class StopRunningCopiesTest : public ::testing::Test {
 protected:
  void SetUp() override { record.SetString(L"InstallFolder", installed.Path() + L"\\"); }

  RunningCopy& Start(const TempFolder& folder, const std::wstring& name, Mode mode = Mode::NoWindow,
                     bool refuseAccess = false) {
    copies.push_back(std::make_unique<RunningCopy>(SampleExecutable(), folder / name, refuseAccess, mode));
    return *copies.back();
  }

  SetupLogCapture log;
  TempFolder installed;
  TempFolder elsewhere;
  TempFolder another;
  ScopedInstallerKey record;
  std::vector<std::unique_ptr<RunningCopy>> copies;
};

// Asked as the system's Restart Manager would ask it, the application saves its user's work
// and ends by itself.
TEST_F(StopRunningCopiesTest, InstalledCopyWithAWindowIsAskedToCloseAndSavesFirst) {
  RunningCopy& copy = Start(installed, L"Velmora.exe", Mode::Window);
  ASSERT_FALSE(HasFailure());

  StopRunningCopies();

  EXPECT_TRUE(copy.HasEnded());
  EXPECT_EQ(copy.ExitCode(), 0u);
  EXPECT_EQ(copy.SavedMarker(), "saved\n");
  EXPECT_EQ(log.Messages(), Lines{ClosedLine(copy.Pid())});
}

// A copy that does not answer (hung, or a dialog of its own in the way) is ended by force once
// the bound has passed, and never saved anything.
TEST_F(StopRunningCopiesTest, CopyIgnoringTheRequestIsStoppedAfterTheBound) {
  RunningCopy& copy = Start(installed, L"Velmora.exe", Mode::IgnoringClose);
  ASSERT_FALSE(HasFailure());

  const ULONGLONG start = GetTickCount64();
  StopRunningCopies();
  const ULONGLONG waited = GetTickCount64() - start;
  std::printf("stopping a copy that ignores WM_CLOSE took %.1f s\n", static_cast<double>(waited) / 1000);

  EXPECT_TRUE(copy.HasEnded());
  EXPECT_EQ(copy.SavedMarker(), "");
  EXPECT_EQ(log.Messages(), Lines{ForcedLine(copy.Pid())});
  // It was given the whole bound before it was stopped.
  EXPECT_GE(waited + 500, kPoliteCloseWaitMilliseconds);
}

// Only the installed file is the product: the same program under another folder is someone
// else's (a portable copy, a developer's build) and is neither asked nor stopped. The snapshot
// gives names only, so this also shows that the opened process itself is examined.
TEST_F(StopRunningCopiesTest, VelmoraExeElsewhereAndLookAlikesSurvive) {
  RunningCopy& inAnotherFolder = Start(elsewhere, L"Velmora.exe", Mode::Window);
  RunningCopy& upperCaseElsewhere = Start(another, L"VELMORA.EXE");
  RunningCopy& backup = Start(installed, L"Velmora.exe.bak");
  RunningCopy& numbered = Start(installed, L"Velmora2.exe");
  ASSERT_FALSE(HasFailure());

  StopRunningCopies();

  for (const RunningCopy* copy : {&inAnotherFolder, &upperCaseElsewhere, &backup, &numbered}) {
    EXPECT_FALSE(copy->HasEnded()) << copy->Pid();
  }
  EXPECT_EQ(inAnotherFolder.SavedMarker(), "");
  EXPECT_TRUE(log.Messages().empty());
}

TEST_F(StopRunningCopiesTest, InstalledFileNamedInAnotherLetterCaseIsStillTheProduct) {
  RunningCopy& lower = Start(installed, L"velmora.exe");
  ASSERT_FALSE(HasFailure());

  StopRunningCopies();

  EXPECT_TRUE(lower.HasEnded());
  EXPECT_EQ(log.Messages(), Lines{NoWindowLine(lower.Pid())});
}

// Without a product record there is no installed file, so nothing is anyone's to stop.
TEST_F(StopRunningCopiesTest, WithoutAProductRecordNothingIsStopped) {
  RunningCopy& copy = Start(installed, L"Velmora.exe", Mode::Window);
  ASSERT_FALSE(HasFailure());
  DeleteInstallerKey();

  StopRunningCopies();

  EXPECT_FALSE(copy.HasEnded());
  EXPECT_TRUE(log.Messages().empty());
}

TEST_F(StopRunningCopiesTest, TwoCopiesOfTheInstalledFileWithoutWindowsGiveTwoLines) {
  RunningCopy& one = Start(installed, L"Velmora.exe");
  RunningCopy& two = Start(installed, L"Velmora.exe");
  ASSERT_FALSE(HasFailure());

  StopRunningCopies();

  EXPECT_TRUE(one.HasEnded());
  EXPECT_TRUE(two.HasEnded());
  EXPECT_EQ(log.Messages().size(), 2u);
  EXPECT_NE(log.Find(NoWindowLine(one.Pid())), -1);
  EXPECT_NE(log.Find(NoWindowLine(two.Pid())), -1);
}

TEST_F(StopRunningCopiesTest, CopyThatRefusesAccessIsLeftRunningAndNotLogged) {
  RunningCopy& guarded = Start(installed, L"Velmora.exe", Mode::NoWindow, true);
  ASSERT_FALSE(HasFailure());

  StopRunningCopies();

  EXPECT_FALSE(guarded.HasEnded());
  EXPECT_TRUE(log.Messages().empty());
}

// The stopping process is itself the installed Velmora.exe: it returns from the call instead
// of ending itself.
TEST_F(StopRunningCopiesTest, ProcessThatIsTheInstalledFileNeverStopsItself) {
  const std::wstring self = installed / L"Velmora.exe";
  ASSERT_TRUE(CopyFileW((TestBinaryFolder() + L"\\win_stop_copies_self.exe").c_str(), self.c_str(), FALSE));

  ChildRun run;
  ASSERT_TRUE(RunCollectingDebugOutput(L"\"" + self + L"\"", run));

  EXPECT_EQ(run.exitCode, 7u);
  EXPECT_TRUE(run.debugStrings.empty());
  EXPECT_TRUE(log.Messages().empty());
}

TEST_F(StopRunningCopiesTest, NoCopyRunningLogsNothing) {
  StopRunningCopies();
  EXPECT_TRUE(log.Messages().empty());
}

}  // namespace
}  // namespace velmora::test::msi

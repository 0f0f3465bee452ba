#include "msi/win/stop_running_copies.h"

#include <gtest/gtest.h>

#include <memory>

#include "msi_support.h"

namespace velmora::test::msi {
namespace {

std::string StopLine(DWORD pid) { return "Stopping existing Velmora process " + std::to_string(pid) + "."; }

// Real processes of the sample application, started under the names and folders of each case.
class StopRunningCopiesTest : public ::testing::Test {
 protected:
  RunningCopy& Start(const TempFolder& folder, const std::wstring& name, bool refuseAccess = false) {
    copies.push_back(std::make_unique<RunningCopy>(SampleExecutable(), folder / name, refuseAccess));
    return *copies.back();
  }

  SetupLogCapture log;
  TempFolder first;
  TempFolder second;
  TempFolder third;
  std::vector<std::unique_ptr<RunningCopy>> copies;
};

TEST_F(StopRunningCopiesTest, CopiesFromAnyFolderAndInAnyLetterCaseAreStopped) {
  RunningCopy& plain = Start(first, L"Velmora.exe");
  RunningCopy& upper = Start(second, L"VELMORA.EXE");
  RunningCopy& lower = Start(third, L"velmora.exe");
  ASSERT_FALSE(HasFailure());

  StopRunningCopies();

  for (const RunningCopy* copy : {&plain, &upper, &lower}) {
    EXPECT_TRUE(copy->HasEnded()) << copy->Pid();
    EXPECT_EQ(copy->ExitCode(), 0u) << copy->Pid();
    EXPECT_NE(log.Find(StopLine(copy->Pid())), -1) << copy->Pid();
  }
  EXPECT_EQ(log.Messages().size(), 3u);
}

TEST_F(StopRunningCopiesTest, LookAlikesSurviveAndNothingIsLogged) {
  RunningCopy& backup = Start(first, L"Velmora.exe.bak");
  RunningCopy& numbered = Start(second, L"Velmora2.exe");
  RunningCopy& longer = Start(third, L"Velmora.exe.exe");
  ASSERT_FALSE(HasFailure());

  StopRunningCopies();

  for (const RunningCopy* copy : {&backup, &numbered, &longer}) EXPECT_FALSE(copy->HasEnded()) << copy->Pid();
  EXPECT_TRUE(log.Messages().empty());
}

TEST_F(StopRunningCopiesTest, TwoCopiesOfOneFileGiveTwoLines) {
  RunningCopy& one = Start(first, L"Velmora.exe");
  RunningCopy& two = Start(first, L"Velmora.exe");
  RunningCopy& bystander = Start(second, L"Velmora2.exe");
  ASSERT_FALSE(HasFailure());

  StopRunningCopies();

  EXPECT_TRUE(one.HasEnded());
  EXPECT_TRUE(two.HasEnded());
  EXPECT_FALSE(bystander.HasEnded());
  const std::vector<std::string> messages = log.Messages();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_NE(log.Find(StopLine(one.Pid())), -1);
  EXPECT_NE(log.Find(StopLine(two.Pid())), -1);
}

TEST_F(StopRunningCopiesTest, CopyThatRefusesAccessIsLeftRunningAndNotLogged) {
  RunningCopy& guarded = Start(first, L"Velmora.exe", true);
  RunningCopy& open = Start(second, L"Velmora.exe");
  ASSERT_FALSE(HasFailure());

  StopRunningCopies();

  EXPECT_FALSE(guarded.HasEnded());
  EXPECT_TRUE(open.HasEnded());
  EXPECT_EQ(log.Messages(), std::vector<std::string>{StopLine(open.Pid())});
}

// The stopping process is itself a file named Velmora.exe: it stops the other copy and
// returns from the call instead of ending itself.
TEST_F(StopRunningCopiesTest, ProcessNamedVelmoraNeverStopsItself) {
  RunningCopy& other = Start(first, L"Velmora.exe");
  ASSERT_FALSE(HasFailure());
  const std::wstring self = second / L"Velmora.exe";
  ASSERT_TRUE(CopyFileW((TestBinaryFolder() + L"\\win_stop_copies_self.exe").c_str(), self.c_str(), FALSE));

  ChildRun run;
  ASSERT_TRUE(RunCollectingDebugOutput(L"\"" + self + L"\"", run));

  EXPECT_EQ(run.exitCode, 7u);
  EXPECT_TRUE(other.HasEnded());
  ASSERT_EQ(run.debugStrings.size(), 1u);
  EXPECT_EQ(run.debugStrings[0].substr(20), StopLine(other.Pid()) + "\n");
  EXPECT_EQ(log.Messages(), std::vector<std::string>{StopLine(other.Pid())});
}

// The snapshot's Velmora.exe may have ended and its identifier gone to another program by the
// time it is opened. A running Other.exe stands in for that program, reached by its identifier.
TEST_F(StopRunningCopiesTest, IdentifierNowHeldByAnotherProgramIsLeftAloneWithOtherExeStandIn) {
  RunningCopy& other = Start(first, L"Other.exe");
  RunningCopy& copy = Start(second, L"Velmora.exe");
  ASSERT_FALSE(HasFailure());

  EXPECT_FALSE(StopRunningCopy(other.Pid()));
  EXPECT_TRUE(StopRunningCopy(copy.Pid()));

  EXPECT_FALSE(other.HasEnded());
  EXPECT_TRUE(copy.HasEnded());
  EXPECT_EQ(log.Messages(), std::vector<std::string>{StopLine(copy.Pid())});
}

TEST_F(StopRunningCopiesTest, NoCopyRunningLogsNothing) {
  StopRunningCopies();
  EXPECT_TRUE(log.Messages().empty());
}

}  // namespace
}  // namespace velmora::test::msi

#include "msi/win/msiexec_runner.h"

#include <gtest/gtest.h>

#include "msi/msiexec_command.h"
#include "msi_support.h"

namespace velmora::test::msi {
namespace {

constexpr wchar_t kNotInstalledCode[] = L"{7E5B1C2A-0000-4000-8000-000000000001}";

class MsiexecRunnerTest : public ::testing::Test {
 protected:
  SetupLogCapture log;
  TempFolder work;
  const std::wstring system = SystemFolderPath();
};

// 1605 would read as 69 through an 8-bit process status.
TEST_F(MsiexecRunnerTest, RealMsiexecGivesItsWholeExitCode) {
  const std::wstring commandLine =
      UninstallCommandLine(kNotInstalledCode, work / L"runner.log", RunMode::Interactive);
  EXPECT_EQ(RunMsiexec(MsiexecPath(system), system, commandLine), 1605u);
  EXPECT_EQ(log.Messages(), (std::vector<std::string>{"Starting Windows Installer: " + Narrow(commandLine),
                                                      "Windows Installer exit code: 1605."}));
}

TEST_F(MsiexecRunnerTest, ProgramThatCannotStartGivesNoExitCode) {
  const std::wstring commandLine =
      UninstallCommandLine(kNotInstalledCode, work / L"runner.log", RunMode::Interactive);
  EXPECT_EQ(RunMsiexec(work / L"msiexec.exe", system, commandLine), 0xFFFFFFFFu);
  EXPECT_EQ(log.Messages(), (std::vector<std::string>{"Starting Windows Installer: " + Narrow(commandLine),
                                                      "CreateProcessW(msiexec) failed: 2."}));
}

TEST_F(MsiexecRunnerTest, ChildGetsTheCommandLineWholeAndRunsInTheSystemFolderAtSeam) {
  const MsiexecStandIn standIn(L"0");
  const std::wstring commandLine =
      InstallCommandLine(L"C:\\Some Folder\\Velmora Setup 1.1.7.msi", L"C:\\Temp Folder\\Velmora-MSI-1.log",
                         RunMode::Interactive);
  EXPECT_EQ(RunMsiexec(standIn.Program(), system, commandLine), 0u);
  const auto runs = standIn.Runs();
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].commandLine, Narrow(commandLine));
  EXPECT_EQ(runs[0].currentDirectory, Narrow(system));
}

TEST_F(MsiexecRunnerTest, EveryExitCodeComesBackWholeAndIsLoggedAtSeam) {
  const DWORD codes[] = {0, 1641, 3010, 1602, 1603, 1605, 1618, 4294967294u};
  const MsiexecStandIn standIn(L"0,1641,3010,1602,1603,1605,1618,4294967294");
  std::vector<std::string> expectedLog;
  for (DWORD code : codes) {
    EXPECT_EQ(RunMsiexec(standIn.Program(), system, L"msiexec.exe /i \"x.msi\""), code);
    expectedLog.push_back("Starting Windows Installer: msiexec.exe /i \"x.msi\"");
    expectedLog.push_back("Windows Installer exit code: " + std::to_string(code) + ".");
  }
  EXPECT_EQ(log.Messages(), expectedLog);
}

// The wait is asked for the full limit; it gives up early, as the real one would after 300
// seconds, since the child hangs.
TEST_F(MsiexecRunnerTest, HangingChildIsTerminatedAfterTheLimitAtSeam) {
  const MsiexecStandIn standIn(L"hang");
  GiveUpFirstWait wait;
  MsiexecCalls host;
  host.waitForProcess = [&wait](HANDLE process, DWORD milliseconds) {
    return wait.Wait(process, milliseconds);
  };

  EXPECT_EQ(RunMsiexec(standIn.Program(), system, L"msiexec.exe /i \"x.msi\"", host), kMsiexecTimedOut);

  EXPECT_EQ(wait.waits, (std::vector<DWORD>{300000, 5000}));
  ASSERT_TRUE(wait.kept);
  DWORD exitCode = 0;
  EXPECT_TRUE(GetExitCodeProcess(wait.kept.Get(), &exitCode));
  EXPECT_EQ(exitCode, 1u);
  EXPECT_EQ(standIn.Runs().size(), 1u);
  EXPECT_EQ(log.Messages(), (std::vector<std::string>{"Starting Windows Installer: msiexec.exe /i \"x.msi\"",
                                                      "Windows Installer timed out after 300 seconds."}));
}

}  // namespace
}  // namespace velmora::test::msi

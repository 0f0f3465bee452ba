#include "msi/win/install_package.h"

#include <gtest/gtest.h>

#include "msi/msiexec_command.h"
#include "msi/win/msiexec_runner.h"
#include "msi_support.h"
#include "product/win/product_record.h"

namespace velmora::test::msi {
namespace {

std::wstring InstallLog() { return InstallLogPath(TemporaryFolderPath(), GetCurrentProcessId()); }

class InstallPackageTest : public MsiexecTest {
 protected:
  void SetUp() override { DeleteFileW(InstallLog().c_str()); }
};

TEST_F(InstallPackageTest, RealFreshInstallWritesTheRecordTheExecutableAndTheLog) {
  const std::wstring package = SamplePackage(L"1.1.7");
  EXPECT_TRUE(InstallPackage(package, TemporaryFolderPath()));

  EXPECT_EQ(InstalledValue(L"Version"), L"1.1.7");
  const std::wstring productCode = InstalledValue(L"ProductCode");
  EXPECT_EQ(productCode.size(), 38u);
  EXPECT_EQ(productCode.front(), L'{');
  EXPECT_EQ(GetInstalledExePath(), L"C:\\Program Files\\Velmora\\Velmora.exe");
  EXPECT_TRUE(InstalledExeMatchesSize(36547584));
  EXPECT_EQ(log.Messages(),
            (std::vector<std::string>{StartLine(package), "Windows Installer exit code: 0."}));
  EXPECT_FALSE(ReadWholeFile(InstallLog()).empty());
}

TEST_F(InstallPackageTest, RealUpgradeReplacesTheOlderVersionThroughTheSameLog) {
  ASSERT_TRUE(InstallPackage(SamplePackage(L"1.1.7"), TemporaryFolderPath(), watch.Calls()));
  const std::wstring olderCode = InstalledValue(L"ProductCode");

  EXPECT_TRUE(InstallPackage(SamplePackage(L"1.1.8"), TemporaryFolderPath(), watch.Calls()));

  EXPECT_EQ(InstalledValue(L"Version"), L"1.1.8");
  EXPECT_NE(InstalledValue(L"ProductCode"), olderCode);
  EXPECT_TRUE(InstalledExeMatchesSize(FileSize(SampleExecutable(L"1.1.8"))));
  EXPECT_EQ(log.Messages(), (std::vector<std::string>{
                                StartLine(SamplePackage(L"1.1.7")), "Windows Installer exit code: 0.",
                                StartLine(SamplePackage(L"1.1.8")), "Windows Installer exit code: 0."}));
  // The major upgrade took the older product away.
  const std::wstring system = SystemFolderPath();
  EXPECT_EQ(RunMsiexec(MsiexecPath(system), system, L"msiexec.exe /x \"" + olderCode + L"\" /qn"), 1605u);
  EXPECT_TRUE(watch.dialogs.empty());
}

TEST_F(InstallPackageTest, RealDowngradeFailsWith1603AndKeepsTheNewerVersion) {
  ASSERT_TRUE(InstallPackage(SamplePackage(L"1.1.8"), TemporaryFolderPath(), watch.Calls()));
  const std::wstring newerCode = InstalledValue(L"ProductCode");

  EXPECT_FALSE(InstallPackage(SamplePackage(L"1.1.7"), TemporaryFolderPath(), watch.Calls()));

  EXPECT_EQ(log.Messages().back(), "Windows Installer exit code: 1603.");
  EXPECT_EQ(InstalledValue(L"Version"), L"1.1.8");
  EXPECT_EQ(InstalledValue(L"ProductCode"), newerCode);
  EXPECT_TRUE(InstalledExeMatchesSize(FileSize(SampleExecutable(L"1.1.8"))));
}

TEST_F(InstallPackageTest, RealPackagePathWithSpacesIsPassedWhole) {
  TempFolder downloads;
  const std::wstring folder = downloads / L"Velmora downloads";
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  const std::wstring package = folder + L"\\Velmora Setup 1.0.0.msi";
  ASSERT_TRUE(CopyFileW(SamplePackage(L"1.0.0").c_str(), package.c_str(), TRUE));

  EXPECT_TRUE(InstallPackage(package, TemporaryFolderPath(), watch.Calls()));

  EXPECT_EQ(InstalledValue(L"Version"), L"1.0.0");
  EXPECT_EQ(log.Messages().front(), StartLine(package));
}

TEST_F(InstallPackageTest, OnlyTheThreeSuccessCodesSucceedAtSeam) {
  struct Case {
    DWORD code;
    bool success;
  };
  const Case cases[] = {{0, true},     {1641, true},  {3010, true}, {1605, false},
                        {1603, false}, {1618, false}, {1, false},   {3011, false}};
  const MsiexecStandIn standIn(L"0,1641,3010,1605,1603,1618,1,3011");
  for (const Case& c : cases) {
    EXPECT_EQ(InstallPackage(L"C:\\x.msi", TemporaryFolderPath(), standIn.Calls()), c.success) << c.code;
    EXPECT_EQ(log.Messages().back(), "Windows Installer exit code: " + std::to_string(c.code) + ".");
  }
}

TEST_F(InstallPackageTest, EveryAttemptPassesTheSameCommandLineAndLogAtSeam) {
  const MsiexecStandIn standIn(L"1603,0");
  EXPECT_FALSE(InstallPackage(L"C:\\Temp\\Velmora-Setup-42.msi", TemporaryFolderPath(), standIn.Calls()));
  EXPECT_TRUE(InstallPackage(L"C:\\Temp\\Velmora-Setup-42.msi", TemporaryFolderPath(), standIn.Calls()));

  const auto runs = standIn.Runs();
  ASSERT_EQ(runs.size(), 2u);
  const std::string expected = "msiexec.exe /i \"C:\\Temp\\Velmora-Setup-42.msi\" /qb /norestart /l*v \"" +
                               Narrow(TemporaryFolderPath()) + "Velmora-MSI-" +
                               std::to_string(GetCurrentProcessId()) + ".log\"";
  EXPECT_EQ(runs[0].commandLine, expected);
  EXPECT_EQ(runs[1].commandLine, expected);
  EXPECT_EQ(runs[0].currentDirectory, Narrow(SystemFolderPath()));
}

TEST_F(InstallPackageTest, RunningCopiesAreStoppedBeforeMsiexecStartsAtSeam) {
  TempFolder installed;
  TempFolder elsewhere;
  WriteInstallerValue(L"InstallFolder", installed.Path());
  RunningCopy one(SampleExecutable(), installed / L"Velmora.exe");
  RunningCopy two(SampleExecutable(), installed / L"Velmora.exe");
  RunningCopy other(SampleExecutable(), elsewhere / L"Velmora.exe");
  ASSERT_FALSE(HasFailure());
  const MsiexecStandIn standIn(L"0");

  EXPECT_TRUE(InstallPackage(L"C:\\x.msi", TemporaryFolderPath(), standIn.Calls()));

  const auto runs = standIn.Runs();
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].velmoraRunning, std::vector<DWORD>{other.Pid()});
  EXPECT_TRUE(one.HasEnded());
  EXPECT_TRUE(two.HasEnded());
  EXPECT_FALSE(other.HasEnded());
  const int start = log.Find(StartLine(L"C:\\x.msi"));
  for (const RunningCopy* copy : {&one, &two}) {
    const int stop = log.Find("Stopping existing Velmora process " + std::to_string(copy->Pid()) +
                              ": it has no window to ask.");
    EXPECT_NE(stop, -1);
    EXPECT_LT(stop, start);
  }
}

TEST_F(InstallPackageTest, TimedOutAttemptFailsAtSeam) {
  const MsiexecStandIn standIn(L"hang");
  MsiexecCalls host = standIn.Calls();
  host.waitForProcess = [](HANDLE process, DWORD milliseconds) {
    return WaitForSingleObject(process, milliseconds == kMsiexecTimeoutMilliseconds ? 200 : milliseconds);
  };
  std::uint32_t code = 0;
  EXPECT_FALSE(InstallPackage(L"C:\\x.msi", TemporaryFolderPath(), host, &code));
  EXPECT_EQ(code, kMsiexecTimedOut);
  EXPECT_EQ(log.Messages().back(), "Windows Installer timed out after 300 seconds.");
}

// Nothing else happens without a system folder: no copy is stopped and no msiexec starts.
TEST_F(InstallPackageTest, WithoutSystemFolderOnlyTheErrorBoxIsShownAtSeam) {
  TempFolder folder;
  WriteInstallerValue(L"InstallFolder", folder.Path());
  RunningCopy copy(SampleExecutable(), folder / L"Velmora.exe");
  ASSERT_FALSE(HasFailure());
  const MsiexecStandIn standIn(L"0");
  for (UINT length : {0u, 260u, 261u}) {
    SCOPED_TRACE(length);
    MsiexecCalls host = standIn.Calls();
    host.getSystemDirectory = [length](LPWSTR buffer, UINT size) {
      if (length != 0 && size > 0) buffer[0] = L'C';
      return length;
    };
    std::vector<std::wstring> boxes;
    host.notify = [&boxes](const Notice& notice) { boxes.push_back(notice.text); };

    EXPECT_FALSE(InstallPackage(L"C:\\x.msi", TemporaryFolderPath(), host));

    EXPECT_EQ(boxes, std::vector<std::wstring>{L"Windows Installer could not be found."});
    EXPECT_EQ(log.Messages().back(), "Windows Installer not found; GetSystemDirectoryW failed.");
  }
  EXPECT_EQ(log.Messages().size(), 3u);
  EXPECT_FALSE(copy.HasEnded());
  EXPECT_TRUE(standIn.Runs().empty());
}

}  // namespace
}  // namespace velmora::test::msi

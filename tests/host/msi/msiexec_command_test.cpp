#include "msi/msiexec_command.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(MsiexecCommandTest, InstallCommandLineQuotesThePackageAndTheLog) {
  EXPECT_EQ(InstallCommandLine(L"C:\\Temp\\Velmora-Setup-42.msi", L"C:\\Temp\\Velmora-MSI-42.log",
                               RunMode::Interactive),
            L"msiexec.exe /i \"C:\\Temp\\Velmora-Setup-42.msi\" /qb /norestart /l*v "
            L"\"C:\\Temp\\Velmora-MSI-42.log\"");
  EXPECT_EQ(InstallCommandLine(L"C:\\Users\\Some One\\App Data\\My Setup.msi", L"C:\\Temp Dir\\x.log",
                               RunMode::Interactive),
            L"msiexec.exe /i \"C:\\Users\\Some One\\App Data\\My Setup.msi\" /qb /norestart /l*v "
            L"\"C:\\Temp Dir\\x.log\"");
}

TEST(MsiexecCommandTest, UninstallCommandLinePassesTheProductCodeUnchanged) {
  struct Case {
    const wchar_t* productCode;
    const wchar_t* commandLine;
  };
  const Case cases[] = {
      {L"{C5B40B7D-9674-524B-A3F9-F48A4CCA2D4D}",
       L"msiexec.exe /x \"{C5B40B7D-9674-524B-A3F9-F48A4CCA2D4D}\" /qb /norestart /l*v \"T\\u.log\""},
      {L"not a product code", L"msiexec.exe /x \"not a product code\" /qb /norestart /l*v \"T\\u.log\""},
      {L"c5b40b7d-9674-524b", L"msiexec.exe /x \"c5b40b7d-9674-524b\" /qb /norestart /l*v \"T\\u.log\""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(UninstallCommandLine(c.productCode, L"T\\u.log", RunMode::Interactive), c.commandLine);
  }
}

// Someone watching keeps Windows Installer's Cancel button; a passive run shows its progress
// with nothing to click; a quiet run shows nothing.
TEST(MsiexecCommandTest, InterfaceLevelFollowsTheRunMode) {
  const struct {
    RunMode mode;
    const wchar_t* install;
    const wchar_t* uninstall;
  } cases[] = {
      {RunMode::Interactive, L"msiexec.exe /i \"p.msi\" /qb /norestart /l*v \"l.log\"",
       L"msiexec.exe /x \"{C}\" /qb /norestart /l*v \"l.log\""},
      {RunMode::Passive, L"msiexec.exe /i \"p.msi\" /qb! /norestart /l*v \"l.log\"",
       L"msiexec.exe /x \"{C}\" /qb! /norestart /l*v \"l.log\""},
      {RunMode::Quiet, L"msiexec.exe /i \"p.msi\" /qn /norestart /l*v \"l.log\"",
       L"msiexec.exe /x \"{C}\" /qn /norestart /l*v \"l.log\""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(InstallCommandLine(L"p.msi", L"l.log", c.mode), c.install);
    EXPECT_EQ(UninstallCommandLine(L"{C}", L"l.log", c.mode), c.uninstall);
  }
}

TEST(MsiexecCommandTest, LogPathsCarryTheProcessIdAfterTheTemporaryFolder) {
  EXPECT_EQ(InstallLogPath(L"C:\\Temp\\", 4242), L"C:\\Temp\\Velmora-MSI-4242.log");
  EXPECT_EQ(UninstallLogPath(L"C:\\Temp\\", 4242), L"C:\\Temp\\Velmora-Uninstall-4242.log");
  EXPECT_EQ(InstallLogPath(L"C:\\Temp\\", 4294967295u), L"C:\\Temp\\Velmora-MSI-4294967295.log");
  // Without a temporary folder msiexec gets the bare name.
  EXPECT_EQ(InstallLogPath(L"", 7), L"Velmora-MSI-7.log");
  EXPECT_EQ(UninstallLogPath(L"", 7), L"Velmora-Uninstall-7.log");
}

TEST(MsiexecCommandTest, MsiexecLivesInTheSystemFolder) {
  EXPECT_EQ(MsiexecPath(L"C:\\windows\\system32"), L"C:\\windows\\system32\\msiexec.exe");
}

TEST(MsiexecCommandTest, SystemFolderLengthMustBeSetAndFitTheBuffer) {
  EXPECT_FALSE(IsUsableSystemFolderLength(0));
  EXPECT_TRUE(IsUsableSystemFolderLength(1));
  EXPECT_TRUE(IsUsableSystemFolderLength(259));
  EXPECT_FALSE(IsUsableSystemFolderLength(260));
  EXPECT_FALSE(IsUsableSystemFolderLength(32768));
}

TEST(MsiexecCommandTest, SuccessCodesOfInstallAndUninstall) {
  struct Case {
    std::uint32_t code;
    bool install;
    bool uninstall;
    bool restart;
    FailureCause cause;  // when the strategy ends failed on this code
  };
  const Case cases[] = {
      {0, true, true, false, FailureCause::Installer},
      {1641, true, true, true, FailureCause::Installer},
      {3010, true, true, true, FailureCause::Installer},
      {1605, false, true, false, FailureCause::Installer},
      {1, false, false, false, FailureCause::Installer},
      {1602, false, false, false, FailureCause::InstallerCancelled},
      {1603, false, false, false, FailureCause::Installer},
      {1618, false, false, false, FailureCause::AnotherInstallRunning},
      {1619, false, false, false, FailureCause::Installer},
      {3011, false, false, false, FailureCause::Installer},
      {1640, false, false, false, FailureCause::Installer},
      {1606, false, false, false, FailureCause::Installer},
      {kMsiexecNoExitCode, false, false, false, FailureCause::Installer},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsInstallSuccessCode(c.code), c.install) << c.code;
    EXPECT_EQ(IsUninstallSuccessCode(c.code), c.uninstall) << c.code;
    EXPECT_EQ(IsRestartRequiredCode(c.code), c.restart) << c.code;
    EXPECT_EQ(InstallFailureCause(c.code), c.cause) << c.code;
  }
}

}  // namespace
}  // namespace velmora

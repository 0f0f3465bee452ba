#include "msi/win/uninstall_product.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "msi/msiexec_command.h"
#include "msi_support.h"
#include "product/win/product_record.h"

namespace velmora::test::msi {
namespace {

constexpr wchar_t kNotInstalledCode[] = L"{7E5B1C2A-0000-4000-8000-000000000001}";

std::wstring UninstallLog() { return UninstallLogPath(TemporaryFolderPath(), GetCurrentProcessId()); }

class UninstallProductTest : public MsiexecTest {
 protected:
  void SetUp() override { DeleteFileW(UninstallLog().c_str()); }
};

TEST_F(UninstallProductTest, RealInstalledProductIsRemovedWithItsOwnLog) {
  InstallSample(L"1.1.7");
  const std::wstring productCode = InstalledValue(L"ProductCode");
  ASSERT_FALSE(productCode.empty());

  EXPECT_TRUE(UninstallProduct(TemporaryFolderPath(), watch.Calls()));

  EXPECT_EQ(log.Messages(),
            (std::vector<std::string>{UninstallingLine(productCode), "Uninstall exit code: 0."}));
  std::wstring ignored;
  EXPECT_FALSE(ReadInstallerValue(L"ProductCode", &ignored));
  EXPECT_FALSE(PathExists(L"C:\\Program Files\\Velmora\\Velmora.exe"));
  EXPECT_FALSE(ReadWholeFile(UninstallLog()).empty());
}

TEST_F(UninstallProductTest, RealCodeNotInstalledGives1605AndCountsAsGone) {
  WriteInstallerValue(L"ProductCode", kNotInstalledCode);
  EXPECT_TRUE(UninstallProduct(TemporaryFolderPath(), watch.Calls()));
  EXPECT_EQ(log.Messages(),
            (std::vector<std::string>{UninstallingLine(kNotInstalledCode), "Uninstall exit code: 1605."}));
}

// Passed unchanged, msiexec takes a text that is no product code for a package that it cannot
// open; its exit code is none of the four success codes.
TEST_F(UninstallProductTest, RealCodeThatMsiexecRejectsFails) {
  WriteInstallerValue(L"ProductCode", L"not a product code");
  EXPECT_FALSE(UninstallProduct(TemporaryFolderPath(), watch.Calls()));
  const std::vector<std::string> messages = log.Messages();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0], UninstallingLine(L"not a product code"));
  unsigned long code = 0;
  ASSERT_EQ(std::sscanf(messages[1].c_str(), "Uninstall exit code: %lu.", &code), 1) << messages[1];
  EXPECT_FALSE(IsUninstallSuccessCode(code)) << code;
}

TEST_F(UninstallProductTest, WithoutProductCodeNothingRunsAndNothingIsStoppedAtSeam) {
  TempFolder folder;
  RunningCopy copy(SampleExecutable(), folder / L"Velmora.exe");
  ASSERT_FALSE(HasFailure());
  const MsiexecStandIn standIn(L"0");
  struct Case {
    const char* name;
    std::function<void()> arrange;
  };
  const Case cases[] = {
      {"no record", [] {}},
      {"record without the value", [] { WriteInstallerValue(L"Version", L"1.1.7"); }},
      {"empty value", [] { WriteInstallerValue(L"ProductCode", L""); }},
      {"value starting with NUL", [] { WriteInstallerValue(L"ProductCode", std::wstring(L"\0{AB}", 5)); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DeleteInstallerKey();
    c.arrange();
    EXPECT_TRUE(UninstallProduct(TemporaryFolderPath(), standIn.Calls()));
    EXPECT_EQ(log.Messages().back(), "No installed product code; skipping uninstall.");
  }
  EXPECT_EQ(log.Messages().size(), 4u);
  EXPECT_TRUE(standIn.Runs().empty());
  EXPECT_FALSE(copy.HasEnded());
}

TEST_F(UninstallProductTest, CodeIsPassedUnchangedAfterStoppingCopiesAtSeam) {
  TempFolder folder;
  WriteInstallerValue(L"InstallFolder", folder.Path());
  RunningCopy copy(SampleExecutable(), folder / L"velmora.exe");
  ASSERT_FALSE(HasFailure());
  const std::wstring oddCode = L"odd code {not braced}";
  WriteInstallerValue(L"ProductCode", oddCode);
  const MsiexecStandIn standIn(L"0");

  EXPECT_TRUE(UninstallProduct(TemporaryFolderPath(), standIn.Calls()));

  const auto runs = standIn.Runs();
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].commandLine, "msiexec.exe /x \"odd code {not braced}\" /qb /norestart /l*v \"" +
                                     Narrow(TemporaryFolderPath()) + "Velmora-Uninstall-" +
                                     std::to_string(GetCurrentProcessId()) + ".log\"");
  EXPECT_EQ(runs[0].currentDirectory, Narrow(SystemFolderPath()));
  EXPECT_TRUE(runs[0].velmoraRunning.empty());
  EXPECT_TRUE(copy.HasEnded());
  EXPECT_EQ(log.Messages(),
            (std::vector<std::string>{"Stopping existing Velmora process " + std::to_string(copy.Pid()) +
                                          ": it has no window to ask.",
                                      UninstallingLine(oddCode), "Uninstall exit code: 0."}));
}

TEST_F(UninstallProductTest, FourSuccessCodesAtSeam) {
  struct Case {
    DWORD code;
    bool success;
  };
  const Case cases[] = {{0, true},     {1605, true},  {1641, true}, {3010, true},
                        {1603, false}, {1618, false}, {1, false},   {1602, false}};
  WriteInstallerValue(L"ProductCode", kNotInstalledCode);
  const MsiexecStandIn standIn(L"0,1605,1641,3010,1603,1618,1,1602");
  for (const Case& c : cases) {
    EXPECT_EQ(UninstallProduct(TemporaryFolderPath(), standIn.Calls()), c.success) << c.code;
    EXPECT_EQ(log.Messages().back(), "Uninstall exit code: " + std::to_string(c.code) + ".");
  }
}

TEST_F(UninstallProductTest, HangingUninstallIsTerminatedAfterTheLimitAtSeam) {
  WriteInstallerValue(L"ProductCode", kNotInstalledCode);
  const MsiexecStandIn standIn(L"hang");
  GiveUpFirstWait wait;
  MsiexecCalls host = standIn.Calls();
  host.waitForProcess = [&wait](HANDLE process, DWORD milliseconds) {
    return wait.Wait(process, milliseconds);
  };

  std::uint32_t code = 0;
  EXPECT_FALSE(UninstallProduct(TemporaryFolderPath(), host, &code));
  EXPECT_EQ(code, kMsiexecTimedOut);

  EXPECT_EQ(wait.waits, (std::vector<DWORD>{300000, 5000}));
  ASSERT_TRUE(wait.kept);
  DWORD exitCode = 0;
  EXPECT_TRUE(GetExitCodeProcess(wait.kept.Get(), &exitCode));
  EXPECT_EQ(exitCode, 1u);
  EXPECT_EQ(log.Messages(), (std::vector<std::string>{UninstallingLine(kNotInstalledCode),
                                                      "Uninstall timed out after 300 seconds."}));
}

TEST_F(UninstallProductTest, UninstallThatCannotStartFailsWithTheSystemCodeAtSeam) {
  WriteInstallerValue(L"ProductCode", kNotInstalledCode);
  TempFolder empty;
  MsiexecCalls host;
  host.msiexecPath = [&empty](const std::wstring&) { return empty / L"msiexec.exe"; };
  EXPECT_FALSE(UninstallProduct(TemporaryFolderPath(), host));
  EXPECT_EQ(log.Messages(), (std::vector<std::string>{UninstallingLine(kNotInstalledCode),
                                                      "Could not start msiexec uninstall: 2."}));
}

// Without a system folder the uninstall fails silently: no line, no box, no copy stopped.
TEST_F(UninstallProductTest, WithoutSystemFolderNothingHappensAtSeam) {
  TempFolder folder;
  RunningCopy copy(SampleExecutable(), folder / L"Velmora.exe");
  ASSERT_FALSE(HasFailure());
  WriteInstallerValue(L"ProductCode", kNotInstalledCode);
  const MsiexecStandIn standIn(L"0");
  std::vector<std::wstring> boxes;
  for (UINT length : {0u, 260u}) {
    MsiexecCalls host = standIn.Calls();
    host.getSystemDirectory = [length](LPWSTR, UINT) { return length; };
    host.notify = [&boxes](const Notice& notice) { boxes.push_back(notice.text); };
    EXPECT_FALSE(UninstallProduct(TemporaryFolderPath(), host)) << length;
  }
  EXPECT_TRUE(log.Messages().empty());
  EXPECT_TRUE(boxes.empty());
  EXPECT_TRUE(standIn.Runs().empty());
  EXPECT_FALSE(copy.HasEnded());
}

}  // namespace
}  // namespace velmora::test::msi

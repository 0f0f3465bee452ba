#include "msi/win/system_install_strategy.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

#include "msi/msiexec_command.h"
#include "product/win/product_record.h"
#include "msi_support.h"

namespace velmora::test::msi {
namespace {

constexpr char kRepairPath[] = "Repair path: trying install/upgrade first.";
constexpr char kCleanReinstall[] = "Clean reinstall requested: removing the previous copy first.";
constexpr char kInstallFailed[] = "Install/upgrade failed; falling back to uninstall + reinstall.";
constexpr char kUninstallFailed[] = "Uninstall failed; trying install over the existing product.";
constexpr char kNoProductCode[] = "No installed product code; skipping uninstall.";
constexpr wchar_t kFinalMessage[] =
    L"Velmora could not be installed after repairing the previous copy. Run Velmora Setup again, or download "
    L"the latest installer from downloads.velmora.test.";
constexpr char kTimedOut[] =
    "Windows Installer did not finish within 300 seconds; starting no further msiexec run, so nothing is "
    "removed on that account.";
constexpr wchar_t kTimedOutMessage[] =
    L"Windows Installer did not finish in time, so Velmora Setup stopped it and made no further changes. Run "
    L"Velmora Setup again when the computer is less busy, or download the latest installer from "
    L"downloads.velmora.test.";

std::string StopLine(DWORD pid) {
  return "Stopping existing Velmora process " + std::to_string(pid) + ": it has no window to ask.";
}

// The strategy with Wine's msiexec and the sample packages; only the final message box is
// recorded instead of shown, so no test waits for a person.
class InstallStrategyTest : public MsiexecTest {
 protected:
  void SetUp() override {
    host = watch.Calls();
    host.notify = [this](const Notice& notice) { boxes.push_back(notice.text); };
  }

  // previousPackage stands for the package cache: the tests of the cache itself are the
  // worker's; here it gives a sample package, or nothing.
  InstallResult Run(const std::wstring& msiPath, bool removeFirst, const InstallVersions& versions = {},
                    const std::wstring& previousPackage = L"") {
    return RunInstallStrategy(
        msiPath, TemporaryFolderPath(), removeFirst, versions,
        [&](std::wstring& path) {
          path = previousPackage;
          return !path.empty();
        },
        host);
  }

  // A file with the package's name that Windows Installer cannot open.
  std::wstring BrokenPackage() {
    const std::wstring path = downloads / L"Velmora-Setup-broken.msi";
    WriteWholeFile(path, "not a package");
    return path;
  }

  // The exit-code line of a run that must have failed.
  void ExpectFailedRun(const std::string& line) {
    unsigned long code = 0;
    ASSERT_EQ(std::sscanf(line.c_str(), "Windows Installer exit code: %lu.", &code), 1) << line;
    EXPECT_FALSE(IsInstallSuccessCode(code)) << code;
  }

  MsiexecCalls host;
  std::vector<std::wstring> boxes;
  TempFolder downloads;
};

// The worker's own call, wired to the real system throughout.
TEST_F(InstallStrategyTest, RealFreshInstallTakesOneRun) {
  EXPECT_EQ(RunInstallStrategy(SamplePackage(L"1.1.7"), TemporaryFolderPath(), false, {L"", L"1.1.7"},
                               [](std::wstring&) { return false; }),
            InstallResult::Installed);
  EXPECT_EQ(log.Messages(), (std::vector<std::string>{kRepairPath, StartLine(SamplePackage(L"1.1.7")),
                                                      "Windows Installer exit code: 0."}));
  EXPECT_EQ(InstalledValue(L"Version"), L"1.1.7");
  EXPECT_TRUE(boxes.empty());
}

// The package is older than what is installed: the first install is refused, the newer
// product is removed and the second install puts the package in place.
TEST_F(InstallStrategyTest, RealRefusedInstallFallsBackToUninstallAndReinstall) {
  const std::wstring newer = InstallSample(L"1.1.8");
  EXPECT_EQ(Run(SamplePackage(L"1.1.7"), false), InstallResult::Installed);
  EXPECT_EQ(log.Messages(),
            (std::vector<std::string>{
                kRepairPath, StartLine(SamplePackage(L"1.1.7")), "Windows Installer exit code: 1603.",
                kInstallFailed, UninstallingLine(newer), "Uninstall exit code: 0.",
                StartLine(SamplePackage(L"1.1.7")), "Windows Installer exit code: 0."}));
  EXPECT_EQ(InstalledValue(L"Version"), L"1.1.7");
  EXPECT_TRUE(boxes.empty());
}

// A package that fails twice after the installed 1.1.8 was removed: with 1.1.8's package kept,
// it is installed again and the user told so; without one, nothing is left installed.
TEST_F(InstallStrategyTest, RealBrokenPackageAfterRemovalRestoresTheKeptPreviousVersion) {
  const std::string kRestoring =
      "Velmora 1.1.9 did not install after the installed Velmora 1.1.8 was removed; restoring Velmora 1.1.8.";
  const std::wstring kRestoredMessage =
      L"The update to Velmora 1.1.9 failed. Velmora 1.1.8, the version installed before, was restored and "
      L"works as before. Run Velmora Setup again later, or download the latest installer from "
      L"downloads.velmora.test.";
  for (const bool kept : {false, true}) {
    SCOPED_TRACE(kept ? "kept" : "nothing kept");
    const SetupLogCapture caseLog;
    boxes.clear();
    const std::wstring installed = InstallSample(L"1.1.8");
    const std::wstring broken = BrokenPackage();
    EXPECT_EQ(Run(broken, false, {L"1.1.8", L"1.1.9"}, kept ? SamplePackage(L"1.1.8") : L""),
              kept ? InstallResult::Restored : InstallResult::Failed);
    const std::vector<std::string> messages = caseLog.Messages();
    ASSERT_EQ(messages.size(), kept ? 12u : 10u);
    EXPECT_EQ(messages[0], kRepairPath);
    EXPECT_EQ(messages[1], StartLine(broken));
    ExpectFailedRun(messages[2]);
    EXPECT_EQ(messages[3], kInstallFailed);
    EXPECT_EQ(messages[4], UninstallingLine(installed));
    EXPECT_EQ(messages[5], "Uninstall exit code: 0.");
    EXPECT_EQ(messages[6], StartLine(broken));
    ExpectFailedRun(messages[7]);
    EXPECT_EQ(messages[8], kRestoring);
    if (kept) {
      EXPECT_EQ(messages[9], StartLine(SamplePackage(L"1.1.8")));
      EXPECT_EQ(messages[10], "Windows Installer exit code: 0.");
      EXPECT_EQ(messages[11], "Velmora 1.1.8 was restored.");
      EXPECT_EQ(boxes, std::vector<std::wstring>{kRestoredMessage});
      EXPECT_EQ(InstalledValue(L"Version"), L"1.1.8");
      EXPECT_EQ(InstalledValue(L"ProductCode"), installed);
    } else {
      EXPECT_EQ(messages[9], "Velmora 1.1.8 cannot be restored; nothing of Velmora is left installed.");
      EXPECT_EQ(boxes, std::vector<std::wstring>{kFinalMessage});
      EXPECT_EQ(InstalledValue(L"ProductCode"), L"");
    }
  }
}

TEST_F(InstallStrategyTest, RealCleanReinstallRemovesFirstThenInstallsInTwoRuns) {
  const std::wstring older = InstallSample(L"1.1.7");
  EXPECT_EQ(Run(SamplePackage(L"1.1.8"), true), InstallResult::Installed);
  EXPECT_EQ(log.Messages(), (std::vector<std::string>{
                                kCleanReinstall, UninstallingLine(older), "Uninstall exit code: 0.",
                                StartLine(SamplePackage(L"1.1.8")), "Windows Installer exit code: 0."}));
  EXPECT_EQ(InstalledValue(L"Version"), L"1.1.8");
  EXPECT_TRUE(boxes.empty());
}

TEST_F(InstallStrategyTest, RealCleanReinstallOfABrokenPackageEndsWithTheMessageBox) {
  const std::wstring installed = InstallSample(L"1.1.7");
  const std::wstring broken = BrokenPackage();
  EXPECT_EQ(Run(broken, true), InstallResult::Failed);
  const std::vector<std::string> messages = log.Messages();
  ASSERT_EQ(messages.size(), 5u);
  EXPECT_EQ(messages[0], kCleanReinstall);
  EXPECT_EQ(messages[1], UninstallingLine(installed));
  EXPECT_EQ(messages[2], "Uninstall exit code: 0.");
  EXPECT_EQ(messages[3], StartLine(broken));
  ExpectFailedRun(messages[4]);
  EXPECT_EQ(boxes, std::vector<std::wstring>{kFinalMessage});
}

TEST_F(InstallStrategyTest, RealCodeNotInstalledCountsAsUninstalled) {
  WriteInstallerValue(L"ProductCode", L"{7E5B1C2A-0000-4000-8000-000000000001}");
  EXPECT_EQ(Run(SamplePackage(L"1.1.7"), true), InstallResult::Installed);
  EXPECT_EQ(log.Messages(), (std::vector<std::string>{
                                kCleanReinstall, UninstallingLine(L"{7E5B1C2A-0000-4000-8000-000000000001}"),
                                "Uninstall exit code: 1605.", StartLine(SamplePackage(L"1.1.7")),
                                "Windows Installer exit code: 0."}));
  EXPECT_EQ(InstalledValue(L"Version"), L"1.1.7");
}

TEST_F(InstallStrategyTest, RealUninstallFailureIsFollowedByTheInstallAllTheSame) {
  WriteInstallerValue(L"ProductCode", L"not a product code");
  EXPECT_EQ(Run(SamplePackage(L"1.1.7"), true), InstallResult::Installed);
  const std::vector<std::string> messages = log.Messages();
  ASSERT_EQ(messages.size(), 6u);
  EXPECT_EQ(messages[1], UninstallingLine(L"not a product code"));
  EXPECT_EQ(messages[3], kUninstallFailed);
  EXPECT_EQ(messages[4], StartLine(SamplePackage(L"1.1.7")));
  EXPECT_EQ(messages[5], "Windows Installer exit code: 0.");
  EXPECT_EQ(InstalledValue(L"Version"), L"1.1.7");
}

TEST_F(InstallStrategyTest, RealNothingRegisteredSkipsTheUninstall) {
  const std::wstring broken = BrokenPackage();
  EXPECT_EQ(Run(broken, false), InstallResult::Failed);
  const std::vector<std::string> messages = log.Messages();
  ASSERT_EQ(messages.size(), 7u);
  EXPECT_EQ(messages[3], kInstallFailed);
  EXPECT_EQ(messages[4], kNoProductCode);
  EXPECT_EQ(messages[5], StartLine(broken));
  EXPECT_EQ(boxes, std::vector<std::wstring>{kFinalMessage});
}

// A fresh install that fails once (which real msiexec does not do on demand) is installed a
// second time after the skipped uninstall.
TEST_F(InstallStrategyTest, FreshInstallFailingOnceIsInstalledAgainAtSeam) {
  const MsiexecStandIn standIn(L"1603,0");
  MsiexecCalls standInHost = standIn.Calls();
  standInHost.notify = host.notify;
  EXPECT_EQ(RunInstallStrategy(
                L"C:\\Temp\\Velmora-Setup-42.msi", TemporaryFolderPath(), false, {},
                [](std::wstring&) { return false; }, standInHost),
            InstallResult::Installed);
  EXPECT_EQ(log.Messages(),
            (std::vector<std::string>{kRepairPath, StartLine(L"C:\\Temp\\Velmora-Setup-42.msi"),
                                      "Windows Installer exit code: 1603.", kInstallFailed, kNoProductCode,
                                      StartLine(L"C:\\Temp\\Velmora-Setup-42.msi"),
                                      "Windows Installer exit code: 0."}));
  EXPECT_EQ(standIn.Runs().size(), 2u);
  EXPECT_TRUE(boxes.empty());
}

// Cancel (1602), another installation in progress (1618) and a run that outlives its time limit
// come from a stand-in msiexec, since Wine's cannot be made to do any of them on demand; the
// limit is cut to three seconds, which the hanging stand-in outlives and the others do not. The
// registered product must stay registered: no run follows the one that answered, and a
// previous version on hand is not asked for.
TEST_F(InstallStrategyTest, CancelBusyOrTimeOutFromStandInEndsTheSequence) {
  const std::wstring kBusyMessage =
      L"Another installation is running on this computer. Wait until it has finished, then run Velmora Setup "
      L"again.";
  const std::string kCancelled =
      "Windows Installer was cancelled (exit code 1602); leaving the installed product as it is.";
  const std::string kBusy =
      "Another installation is in progress (exit code 1618); leaving the installed product as it is.";
  const std::wstring package = L"C:\\Temp\\Velmora-Setup-42.msi";
  const std::wstring productCode = L"{7E5B1C2A-0000-4000-8000-000000000002}";
  struct Case {
    const wchar_t* plan;
    bool removeFirst;
    std::vector<std::string> log;
    std::vector<std::wstring> boxes;
  };
  const Case cases[] = {
      {L"1602",
       false,
       {kRepairPath, StartLine(package), "Windows Installer exit code: 1602.", kCancelled},
       {}},
      {L"1618",
       false,
       {kRepairPath, StartLine(package), "Windows Installer exit code: 1618.", kBusy},
       {kBusyMessage}},
      {L"1602",
       true,
       {kCleanReinstall, UninstallingLine(productCode), "Uninstall exit code: 1602.", kCancelled},
       {}},
      {L"1603,1618",
       false,
       {kRepairPath, StartLine(package), "Windows Installer exit code: 1603.", kInstallFailed,
        UninstallingLine(productCode), "Uninstall exit code: 1618.", kBusy},
       {kBusyMessage}},
      {L"0,1618",
       true,
       {kCleanReinstall, UninstallingLine(productCode), "Uninstall exit code: 0.", StartLine(package),
        "Windows Installer exit code: 1618.", kBusy},
       {kBusyMessage}},
      {L"hang",
       false,
       {kRepairPath, StartLine(package), "Windows Installer timed out after 300 seconds.", kTimedOut},
       {kTimedOutMessage}},
      {L"1603,hang",
       false,
       {kRepairPath, StartLine(package), "Windows Installer exit code: 1603.", kInstallFailed,
        UninstallingLine(productCode), "Uninstall timed out after 300 seconds.", kTimedOut},
       {kTimedOutMessage}},
      {L"0,hang",
       true,
       {kCleanReinstall, UninstallingLine(productCode), "Uninstall exit code: 0.", StartLine(package),
        "Windows Installer timed out after 300 seconds.", kTimedOut},
       {kTimedOutMessage}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.plan) + (c.removeFirst ? " remove-first" : ""));
    WriteInstallerValue(L"ProductCode", productCode);
    const SetupLogCapture caseLog;
    boxes.clear();
    const MsiexecStandIn standIn(c.plan);
    MsiexecCalls standInHost = standIn.Calls();
    standInHost.notify = host.notify;
    standInHost.waitForProcess = [](HANDLE process, DWORD milliseconds) {
      return WaitForSingleObject(process, milliseconds == kMsiexecTimeoutMilliseconds ? 3000 : milliseconds);
    };
    bool previousAskedFor = false;
    EXPECT_EQ(RunInstallStrategy(
                  package, TemporaryFolderPath(), c.removeFirst, {L"1.1.8", L"1.1.9"},
                  [&](std::wstring& path) {
                    previousAskedFor = true;
                    path = SamplePackage(L"1.1.8");
                    return true;
                  },
                  standInHost),
              InstallResult::Failed);
    EXPECT_FALSE(previousAskedFor);
    EXPECT_EQ(caseLog.Messages(), c.log);
    EXPECT_EQ(boxes, c.boxes);
    std::size_t runs = 0;
    for (const std::string& line : c.log) {
      runs +=
          line.find("exit code: ") != std::string::npos || line.find("timed out after") != std::string::npos;
    }
    EXPECT_EQ(standIn.Runs().size(), runs);
    EXPECT_EQ(InstalledValue(L"ProductCode"), productCode);
  }
}

// A copy of the installed application started while one msiexec run is going on is stopped
// before the next run begins; a Velmora.exe in another folder started meanwhile is someone
// else's and outlives every run.
TEST_F(InstallStrategyTest, RealCopyStartedDuringARunDoesNotSurviveIntoTheNext) {
  const std::wstring newer = InstallSample(L"1.1.8");
  const std::wstring installedExe = GetRecordedExePath();
  ASSERT_FALSE(installedExe.empty());
  TempFolder elsewhere;
  std::unique_ptr<RunningCopy> installedCopy;
  std::unique_ptr<RunningCopy> otherCopy;
  int runs = 0;
  bool installedCopyEndedBeforeTheSecondRun = false;
  watch.onRunStart = [&] {
    ++runs;
    if (runs == 1) installedCopy = std::make_unique<RunningCopy>(SampleExecutable(), installedExe);
    if (runs == 2) {
      installedCopyEndedBeforeTheSecondRun = installedCopy->HasEnded();
      otherCopy = std::make_unique<RunningCopy>(SampleExecutable(), elsewhere / L"Velmora.exe");
    }
  };
  host = watch.Calls();
  host.notify = [this](const Notice& notice) { boxes.push_back(notice.text); };

  EXPECT_EQ(Run(SamplePackage(L"1.1.7"), false), InstallResult::Installed);

  ASSERT_EQ(runs, 3);
  EXPECT_TRUE(installedCopyEndedBeforeTheSecondRun);
  EXPECT_FALSE(otherCopy->HasEnded());
  EXPECT_EQ(
      log.Messages(),
      (std::vector<std::string>{
          kRepairPath, StartLine(SamplePackage(L"1.1.7")), "Windows Installer exit code: 1603.",
          kInstallFailed, StopLine(installedCopy->Pid()), UninstallingLine(newer), "Uninstall exit code: 0.",
          StartLine(SamplePackage(L"1.1.7")), "Windows Installer exit code: 0."}));
}

}  // namespace
}  // namespace velmora::test::msi

#include "msi/install_strategy.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "base/setup_state.h"
#include "captured_log.h"
#include "msi/msiexec_command.h"
#include "recorded_posts.h"

namespace velmora {
namespace {

WindowHandle const kWindow = reinterpret_cast<WindowHandle>(0x4d5349);
const std::wstring kPackage = L"C:\\Temp\\Velmora Setup 42.msi";
const std::wstring kKept = L"C:\\ProgramData\\Velmora\\Setup\\Cache\\Velmora-1.1.7.msi";
const InstallVersions kVersions{L"1.1.7", L"1.1.8"};

constexpr wchar_t kFinalMessage[] =
    L"Velmora could not be installed after repairing the previous copy. Run Velmora Setup again, or download "
    L"the latest installer from downloads.velmora.test.";

constexpr char kRepairPath[] = "Repair path: trying install/upgrade first.";
constexpr char kCleanReinstall[] = "Clean reinstall requested: removing the previous copy first.";
constexpr char kInstallFailed[] = "Install/upgrade failed; falling back to uninstall + reinstall.";
constexpr char kUninstallFailed[] = "Uninstall failed; trying install over the existing product.";
constexpr char kCancelled[] =
    "Windows Installer was cancelled (exit code 1602); leaving the installed product as it is.";
constexpr char kBusy[] =
    "Another installation is in progress (exit code 1618); leaving the installed product as it is.";
constexpr char kTimedOut[] =
    "Windows Installer did not finish within 300 seconds; starting no further msiexec run, so nothing is "
    "removed on that account.";
constexpr char kRestoring[] =
    "Velmora 1.1.8 did not install after the installed Velmora 1.1.7 was removed; restoring Velmora 1.1.7.";
constexpr char kCannotRestore[] = "Velmora 1.1.7 cannot be restored; nothing of Velmora is left installed.";
constexpr char kRestoreFailed[] = "Restoring Velmora 1.1.7 failed.";
constexpr char kRestored[] = "Velmora 1.1.7 was restored.";
constexpr wchar_t kRestoredMessage[] =
    L"The update to Velmora 1.1.8 failed. Velmora 1.1.7, the version installed before, was restored and "
    L"works "
    L"as before. Run Velmora Setup again later, or download the latest installer from "
    L"downloads.velmora.test.";
constexpr wchar_t kTimedOutMessage[] =
    L"Windows Installer did not finish in time, so Velmora Setup stopped it and made no further changes. Run "
    L"Velmora Setup again when the computer is less busy, or download the latest installer from "
    L"downloads.velmora.test.";
constexpr wchar_t kBusyMessage[] =
    L"Another installation is running on this computer. Wait until it has finished, then run Velmora Setup "
    L"again.";

// Each step as the strategy called it, with the status text the window showed at that moment.
struct Step {
  std::wstring what;
  std::wstring status;
  bool operator==(const Step&) const = default;
};

void PrintTo(const Step& step, std::ostream* out) {
  *out << testing::PrintToString(step.what) << " under " << testing::PrintToString(step.status);
}

const Step kFirstInstall{L"install " + kPackage, L"Starting the Windows installer..."};
const Step kUninstall{L"uninstall", L"Cleaning up the previous Velmora copy..."};
const Step kSecondInstall{L"install " + kPackage, L"Installing the latest Velmora..."};
const Step kFinalBox{std::wstring(L"box ") + kFinalMessage, L"Installing the latest Velmora..."};
// The previous version's kept package asked for, and installed.
const Step kPrevious{L"previous", L"Installing the latest Velmora..."};
const Step kRestoreInstall{L"install " + kKept, L"Restoring Velmora 1.1.7..."};
const Step kRestoreFailedBox{std::wstring(L"box ") + kFinalMessage, L"Restoring Velmora 1.1.7..."};
const Step kRestoredBox{std::wstring(L"box ") + kRestoredMessage, L"Restoring Velmora 1.1.7..."};

Step BusyBox(const Step& during) { return {std::wstring(L"box ") + kBusyMessage, during.status}; }
Step TimedOutBox(const Step& during) { return {std::wstring(L"box ") + kTimedOutMessage, during.status}; }

// Exit codes of failed runs: a fatal error, a cancel, another installation in progress and a
// run stopped at its time limit.
constexpr std::uint32_t kFailed = 1603;
constexpr std::uint32_t kCancel = kMsiexecUserCancelled;
constexpr std::uint32_t kBusyCode = kMsiexecAnotherInstallRunning;
constexpr std::uint32_t kTimeOut = kMsiexecTimedOut;

struct Row {
  const char* name;
  bool removeFirst;
  std::deque<std::uint32_t> installCodes;  // the restore's install included
  std::uint32_t uninstallCode;
  std::vector<Step> steps;
  std::vector<std::string> log;
  InstallResult result;
  bool kept = false;  // whether the previous version's package can be had
};

constexpr InstallResult kInstalled = InstallResult::Installed;
constexpr InstallResult kNotInstalled = InstallResult::Failed;

class InstallStrategyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSetupState(kWindow);
    CapturedLog().clear();
  }
  void TearDown() override { ResetSetupState(nullptr); }

  // Steps that answer from the row's exit codes and write down how they were called.
  InstallStrategyCalls Recording(std::deque<std::uint32_t>& installCodes, std::uint32_t uninstallCode,
                                 bool kept = false) {
    return InstallStrategyCalls{
        [this, &installCodes](const std::wstring& msiPath, std::uint32_t& exitCode) {
          seen.push_back({L"install " + msiPath, CopyStatusText()});
          EXPECT_FALSE(installCodes.empty()) << "more installs than the row allows";
          exitCode = installCodes.empty() ? kMsiexecNoExitCode : installCodes.front();
          if (!installCodes.empty()) installCodes.pop_front();
          return IsInstallSuccessCode(exitCode);
        },
        [this, uninstallCode](std::uint32_t& exitCode) {
          seen.push_back({L"uninstall", CopyStatusText()});
          exitCode = uninstallCode;
          return IsUninstallSuccessCode(exitCode);
        },
        [this](const Notice& notice) {
          EXPECT_EQ(notice.icon, NoticeIcon::Error);
          EXPECT_EQ(notice.owner, nullptr);
          seen.push_back({L"box " + notice.text, CopyStatusText()});
        },
        [this, kept](std::wstring& path) {
          seen.push_back({L"previous", CopyStatusText()});
          if (kept) path = kKept;
          return kept;
        },
    };
  }

  std::vector<Step> seen;
};

TEST_F(InstallStrategyTest, EverySequenceOfInstallUninstallAndReinstall) {
  const Row rows[] = {
      {"first install succeeds", false, {0}, 0, {kFirstInstall}, {kRepairPath}, kInstalled},
      {"second install succeeds after uninstall",
       false,
       {kFailed, 0},
       0,
       {kFirstInstall, kUninstall, kSecondInstall},
       {kRepairPath, kInstallFailed},
       kInstalled},
      {"second install runs although the uninstall failed",
       false,
       {kFailed, 0},
       kFailed,
       {kFirstInstall, kUninstall, kSecondInstall},
       {kRepairPath, kInstallFailed, kUninstallFailed},
       kInstalled},
      // Nothing kept to restore: the product removed stays removed.
      {"both installs fail",
       false,
       {kFailed, kFailed},
       0,
       {kFirstInstall, kUninstall, kSecondInstall, kPrevious, kFinalBox},
       {kRepairPath, kInstallFailed, kRestoring, kCannotRestore},
       kNotInstalled},
      {"both installs fail, the previous version is restored",
       false,
       {kFailed, kFailed, 0},
       0,
       {kFirstInstall, kUninstall, kSecondInstall, kPrevious, kRestoreInstall, kRestoredBox},
       {kRepairPath, kInstallFailed, kRestoring, kRestored},
       InstallResult::Restored,
       true},
      {"both installs fail, and so does the restore",
       false,
       {kFailed, kFailed, kFailed},
       0,
       {kFirstInstall, kUninstall, kSecondInstall, kPrevious, kRestoreInstall, kRestoreFailedBox},
       {kRepairPath, kInstallFailed, kRestoring, kRestoreFailed},
       kNotInstalled,
       true},
      // A failed uninstall left the product in place: there is nothing to restore.
      {"everything fails",
       false,
       {kFailed, kFailed},
       kFailed,
       {kFirstInstall, kUninstall, kSecondInstall, kFinalBox},
       {kRepairPath, kInstallFailed, kUninstallFailed},
       kNotInstalled,
       true},
      {"remove first, then install",
       true,
       {0},
       0,
       {kUninstall, kSecondInstall},
       {kCleanReinstall},
       kInstalled},
      {"remove first fails, install all the same",
       true,
       {0},
       kFailed,
       {kUninstall, kSecondInstall},
       {kCleanReinstall, kUninstallFailed},
       kInstalled},
      {"remove first, install fails",
       true,
       {kFailed},
       0,
       {kUninstall, kSecondInstall, kPrevious, kFinalBox},
       {kCleanReinstall, kRestoring, kCannotRestore},
       kNotInstalled},
      {"remove first, install fails, the previous version is restored",
       true,
       {kFailed, 3010},
       0,
       {kUninstall, kSecondInstall, kPrevious, kRestoreInstall, kRestoredBox},
       {kCleanReinstall, kRestoring, kRestored},
       InstallResult::Restored,
       true},
      {"remove first: both fail",
       true,
       {kFailed},
       kFailed,
       {kUninstall, kSecondInstall, kFinalBox},
       {kCleanReinstall, kUninstallFailed},
       kNotInstalled},
      // A cancel or a busy installer ends the sequence at whichever run it comes from.
      {"first install cancelled",
       false,
       {kCancel},
       0,
       {kFirstInstall},
       {kRepairPath, kCancelled},
       kNotInstalled},
      {"first install finds another installation",
       false,
       {kBusyCode},
       0,
       {kFirstInstall, BusyBox(kFirstInstall)},
       {kRepairPath, kBusy},
       kNotInstalled},
      {"uninstall cancelled",
       false,
       {kFailed},
       kCancel,
       {kFirstInstall, kUninstall},
       {kRepairPath, kInstallFailed, kCancelled},
       kNotInstalled,
       true},
      {"uninstall finds another installation",
       true,
       {},
       kBusyCode,
       {kUninstall, BusyBox(kUninstall)},
       {kCleanReinstall, kBusy},
       kNotInstalled,
       true},
      {"second install cancelled",
       false,
       {kFailed, kCancel},
       0,
       {kFirstInstall, kUninstall, kSecondInstall},
       {kRepairPath, kInstallFailed, kCancelled},
       kNotInstalled,
       true},
      {"second install finds another installation",
       true,
       {kBusyCode},
       0,
       {kUninstall, kSecondInstall, BusyBox(kSecondInstall)},
       {kCleanReinstall, kBusy},
       kNotInstalled,
       true},
      // A run that ran out of time ends the sequence wherever it comes, before any removal
      // or restore, with its own message.
      {"first install times out",
       false,
       {kTimeOut},
       0,
       {kFirstInstall, TimedOutBox(kFirstInstall)},
       {kRepairPath, kTimedOut},
       kNotInstalled,
       true},
      {"uninstall times out",
       false,
       {kFailed},
       kTimeOut,
       {kFirstInstall, kUninstall, TimedOutBox(kUninstall)},
       {kRepairPath, kInstallFailed, kTimedOut},
       kNotInstalled,
       true},
      {"second install times out",
       true,
       {kTimeOut},
       0,
       {kUninstall, kSecondInstall, TimedOutBox(kSecondInstall)},
       {kCleanReinstall, kTimedOut},
       kNotInstalled,
       true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ResetSetupState(kWindow);
    CapturedLog().clear();
    seen.clear();
    std::deque<std::uint32_t> installCodes = row.installCodes;
    EXPECT_EQ(RunInstallStrategy(kPackage, row.removeFirst, kVersions,
                                 Recording(installCodes, row.uninstallCode, row.kept)),
              row.result);
    EXPECT_EQ(seen, row.steps);
    EXPECT_EQ(CapturedLog(), row.log);
    EXPECT_TRUE(installCodes.empty());
    // Each msiexec run's status text reached the window as one status message.
    std::size_t statusSteps = 0;
    for (const Step& step : row.steps) {
      statusSteps += step.what.rfind(L"install", 0) == 0 || step.what == L"uninstall" ? 1 : 0;
    }
    EXPECT_EQ(RecordedPosts(), std::vector<RecordedPost>(statusSteps, {kWindow, WM_SETUP_STATUS, 0}));
  }
}

TEST_F(InstallStrategyTest, NeitherOperationNorOutcomeIsTouched) {
  SetupOperation = Operation::Update;
  std::deque<std::uint32_t> installCodes = {kFailed, kFailed};
  EXPECT_EQ(RunInstallStrategy(kPackage, false, kVersions, Recording(installCodes, kFailed)), kNotInstalled);
  EXPECT_EQ(SetupOperation.load(), Operation::Update);
  EXPECT_EQ(SetupOutcome.load(), Outcome::Pending);
  EXPECT_TRUE(SetupBusy.load());
  EXPECT_EQ(CopyStatusText(), L"Installing the latest Velmora...");
}

// The code the worker turns into the run's cause and restart request: always the last step's.
TEST_F(InstallStrategyTest, LastExitCodeIsThatOfTheLastStepMade) {
  const struct {
    bool removeFirst;
    std::deque<std::uint32_t> installCodes;
    std::uint32_t uninstallCode;
    std::uint32_t last;
  } cases[] = {
      {false, {3010}, 0, 3010},
      {false, {kFailed, 1641}, 0, 1641},
      {false, {kCancel}, 0, kCancel},
      {true, {kFailed}, kBusyCode, kBusyCode},
      {false, {kFailed, kFailed}, 0, kFailed},
      {true, {kBusyCode}, 0, kBusyCode},
  };
  for (const auto& c : cases) {
    std::deque<std::uint32_t> installCodes = c.installCodes;
    std::uint32_t last = 0;
    const InstallResult result =
        RunInstallStrategy(kPackage, c.removeFirst, {}, Recording(installCodes, c.uninstallCode), &last);
    EXPECT_EQ(last, c.last);
    EXPECT_EQ(result == InstallResult::Installed, IsInstallSuccessCode(c.last));
  }
}

}  // namespace
}  // namespace velmora

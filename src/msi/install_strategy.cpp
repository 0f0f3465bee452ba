#include "msi/install_strategy.h"

#include "base/bootstrap_log.h"
#include "base/setup_state.h"
#include "base/user_texts.h"
#include "msi/msiexec_command.h"
#include "profile/vendor_profile.h"

namespace velmora {
namespace {

// After a cancel the user has chosen to keep what is installed; while another installation
// runs, every further msiexec run would fail the same way and the uninstall could still
// succeed, leaving nothing. A run that ran out of time was slow, not broken: the Windows
// Installer service may still be rolling it back, and removing the product on its account would
// turn a slow machine into a machine without Velmora. In each case no further step may run.
bool EndsTheSequence(std::uint32_t exitCode, const InstallStrategyCalls& calls) {
  if (exitCode == kMsiexecUserCancelled) {
    LogMessage("Windows Installer was cancelled (exit code 1602); leaving the installed product as it is.");
    return true;
  }
  if (exitCode == kMsiexecAnotherInstallRunning) {
    LogMessage(
        "Another installation is in progress (exit code 1618); leaving the installed product as it is.");
    calls.notify({NoticeIcon::Error, texts::kAnotherInstallRunning});
    return true;
  }
  if (exitCode == kMsiexecTimedOut) {
    LogMessage(
        "Windows Installer did not finish within %lu seconds; starting no further msiexec run, so nothing is "
        "removed on that account.",
        static_cast<unsigned long>(kMsiexecTimeoutSeconds));
    calls.notify({NoticeIcon::Error, FillIn(texts::kInstallerTimedOut, {MessageHost()})});
    return true;
  }
  return false;
}

// Puts back the version this run removed, from the package an earlier run kept of it. True
// once it is installed again and the user has been told.
bool RestorePrevious(const InstallVersions& versions, const InstallStrategyCalls& calls) {
  LogMessage(
      "Velmora %ls did not install after the installed Velmora %ls was removed; restoring Velmora %ls.",
      versions.offered.c_str(), versions.previous.c_str(), versions.previous.c_str());
  std::wstring package;
  if (!calls.previousPackage(package)) {
    LogMessage("Velmora %ls cannot be restored; nothing of Velmora is left installed.",
               versions.previous.c_str());
    return false;
  }
  SetStatus(FillIn(texts::kRestoringStatus, {versions.previous}));
  std::uint32_t exitCode = kMsiexecNoExitCode;
  if (!calls.installPackage(package, exitCode)) {
    LogMessage("Restoring Velmora %ls failed.", versions.previous.c_str());
    return false;
  }
  LogMessage("Velmora %ls was restored.", versions.previous.c_str());
  calls.notify({NoticeIcon::Error,
                FillIn(texts::kUpdateRestored, {versions.offered, versions.previous, MessageHost()})});
  return true;
}

// The sequence itself; exitCode is left with the last step's code for the offered package.
InstallResult RunSteps(const std::wstring& msiPath, bool removeFirst, const InstallVersions& versions,
                       const InstallStrategyCalls& calls, std::uint32_t& exitCode) {
  if (removeFirst) {
    LogMessage("Clean reinstall requested: removing the previous copy first.");
  } else {
    // Fresh installs and updates come this way too: the package's own upgrade rules decide.
    LogMessage("Repair path: trying install/upgrade first.");
    SetStatus(texts::kStartingInstallerStatus);
    if (calls.installPackage(msiPath, exitCode)) return InstallResult::Installed;
    if (EndsTheSequence(exitCode, calls)) return InstallResult::Failed;
    LogMessage("Install/upgrade failed; falling back to uninstall + reinstall.");
  }
  SetStatus(texts::kCleaningUpStatus);
  // A failed uninstall does not end the run: installing over what is left may still work.
  const bool removed = calls.uninstallProduct(exitCode);
  if (!removed) {
    if (EndsTheSequence(exitCode, calls)) return InstallResult::Failed;
    LogMessage("Uninstall failed; trying install over the existing product.");
  }
  SetStatus(texts::kInstallingStatus);
  if (calls.installPackage(msiPath, exitCode)) return InstallResult::Installed;
  if (EndsTheSequence(exitCode, calls)) return InstallResult::Failed;
  // Only a version that this sequence removed is put back; one whose uninstall failed is still
  // there, as Windows Installer rolls a failed uninstall back.
  if (removed && !versions.previous.empty() && RestorePrevious(versions, calls))
    return InstallResult::Restored;
  calls.notify({NoticeIcon::Error, FillIn(texts::kRepairFailed, {MessageHost()})});
  return InstallResult::Failed;
}

}  // namespace

InstallResult RunInstallStrategy(const std::wstring& msiPath, bool removeFirst,
                                 const InstallVersions& versions, const InstallStrategyCalls& calls,
                                 std::uint32_t* lastExitCode) {
  std::uint32_t exitCode = kMsiexecNoExitCode;
  const InstallResult result = RunSteps(msiPath, removeFirst, versions, calls, exitCode);
  if (lastExitCode != nullptr) *lastExitCode = exitCode;
  return result;
}

}  // namespace velmora

#include "msi/install_strategy.h"

#include "base/bootstrap_log.h"
#include "base/setup_state.h"
#include "profile/vendor_profile.h"
#include "msi/msiexec_command.h"
#include "base/user_texts.h"

namespace velmora {
namespace {

// After a cancel the user has chosen to keep what is installed; while another installation
// runs, every further msiexec run would fail the same way and the uninstall could still
// succeed, leaving nothing. Either way no further step may run.
bool EndsTheSequence(std::uint32_t exitCode, const InstallStrategyCalls& calls) {
  if (exitCode == kMsiexecUserCancelled) {
    LogMessage("Windows Installer was cancelled (exit code 1602); leaving the installed product as it is.");
    return true;
  }
  if (exitCode == kMsiexecAnotherInstallRunning) {
    LogMessage(
        "Another installation is in progress (exit code 1618); leaving the installed product as it is.");
    calls.showError(texts::kAnotherInstallRunning);
    return true;
  }
  return false;
}

}  // namespace

bool RunInstallStrategy(const std::wstring& msiPath, bool removeFirst, const InstallStrategyCalls& calls) {
  std::uint32_t exitCode = kMsiexecNoExitCode;
  if (removeFirst) {
    LogMessage("Clean reinstall requested: removing the previous copy first.");
  } else {
    // Fresh installs and updates come this way too: the package's own upgrade rules decide.
    LogMessage("Repair path: trying install/upgrade first.");
    SetStatus(texts::kStartingInstallerStatus);
    if (calls.installPackage(msiPath, exitCode)) return true;
    if (EndsTheSequence(exitCode, calls)) return false;
    LogMessage("Install/upgrade failed; falling back to uninstall + reinstall.");
  }
  SetStatus(texts::kCleaningUpStatus);
  // A failed uninstall does not end the run: installing over what is left may still work.
  if (!calls.uninstallProduct(exitCode)) {
    if (EndsTheSequence(exitCode, calls)) return false;
    LogMessage("Uninstall failed; trying install over the existing product.");
  }
  SetStatus(texts::kInstallingStatus);
  if (calls.installPackage(msiPath, exitCode)) return true;
  if (EndsTheSequence(exitCode, calls)) return false;
  calls.showError(FillIn(texts::kRepairFailed, MessageHost()));
  return false;
}

}  // namespace velmora

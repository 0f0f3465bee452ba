#include "msi/install_strategy.h"

#include "base/bootstrap_log.h"
#include "base/setup_state.h"
#include "profile/vendor_profile.h"
#include "msi/msiexec_command.h"

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
    calls.notify({NoticeIcon::Error,
                  L"Another installation is running on this computer. Wait until it has finished, then run "
                  L"Velmora Setup again."});
    return true;
  }
  return false;
}

// The sequence itself; exitCode is left with the last step's code.
bool RunSteps(const std::wstring& msiPath, bool removeFirst, const InstallStrategyCalls& calls,
              std::uint32_t& exitCode) {
  if (removeFirst) {
    LogMessage("Clean reinstall requested: removing the previous copy first.");
  } else {
    // Fresh installs and updates come this way too: the package's own upgrade rules decide.
    LogMessage("Repair path: trying install/upgrade first.");
    SetStatus(L"Starting the Windows installer...");
    if (calls.installPackage(msiPath, exitCode)) return true;
    if (EndsTheSequence(exitCode, calls)) return false;
    LogMessage("Install/upgrade failed; falling back to uninstall + reinstall.");
  }
  SetStatus(L"Cleaning up the previous Velmora copy...");
  // A failed uninstall does not end the run: installing over what is left may still work.
  if (!calls.uninstallProduct(exitCode)) {
    if (EndsTheSequence(exitCode, calls)) return false;
    LogMessage("Uninstall failed; trying install over the existing product.");
  }
  SetStatus(L"Installing the latest Velmora...");
  if (calls.installPackage(msiPath, exitCode)) return true;
  if (EndsTheSequence(exitCode, calls)) return false;
  calls.notify({NoticeIcon::Error,
                L"Velmora could not be installed after repairing the previous copy. Run Velmora Setup again, "
                L"or download the latest installer from " +
                    MessageHost() + L"."});
  return false;
}

}  // namespace

bool RunInstallStrategy(const std::wstring& msiPath, bool removeFirst, const InstallStrategyCalls& calls,
                        std::uint32_t* lastExitCode) {
  std::uint32_t exitCode = kMsiexecNoExitCode;
  const bool installed = RunSteps(msiPath, removeFirst, calls, exitCode);
  if (lastExitCode != nullptr) *lastExitCode = exitCode;
  return installed;
}

}  // namespace velmora

#include "msi/install_strategy.h"

#include "app/bootstrap_log.h"
#include "app/setup_state.h"
#include "app/vendor_profile.h"

namespace velmora {

bool RunInstallStrategy(const std::wstring& msiPath, bool removeFirst, const InstallStrategySteps& steps) {
  if (removeFirst) {
    LogMessage("Clean reinstall requested: removing the previous copy first.");
  } else {
    // Fresh installs and updates come this way too: the package's own upgrade rules decide.
    LogMessage("Repair path: trying install/upgrade first.");
    SetStatus(L"Starting the Windows installer...");
    if (steps.installPackage(msiPath)) return true;
    LogMessage("Install/upgrade failed; falling back to uninstall + reinstall.");
  }
  SetStatus(L"Cleaning up the previous Velmora copy...");
  // A failed uninstall does not end the run: installing over what is left may still work.
  if (!steps.uninstallProduct()) LogMessage("Uninstall failed; trying install over the existing product.");
  SetStatus(L"Installing the latest Velmora...");
  if (steps.installPackage(msiPath)) return true;
  steps.showError(
      L"Velmora could not be installed after repairing the previous copy. Run Velmora Setup again, or "
      L"download the latest installer from " +
      MessageHost() + L".");
  return false;
}

}  // namespace velmora

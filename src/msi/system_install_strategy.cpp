#include "msi/system_install_strategy.h"

#include "msi/install_package.h"
#include "msi/uninstall_product.h"

namespace velmora {

InstallStrategySteps SystemInstallStrategySteps(const MsiexecHost& host) {
  return InstallStrategySteps{
      [host](const std::wstring& msiPath) { return InstallPackage(msiPath, host); },
      [host] { return UninstallProduct(host); },
      host.showError,
  };
}

bool RunInstallStrategy(const std::wstring& msiPath, bool removeFirst) {
  return RunInstallStrategy(msiPath, removeFirst, SystemInstallStrategySteps(MsiexecHost()));
}

}  // namespace velmora

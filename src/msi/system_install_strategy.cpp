#include "msi/system_install_strategy.h"

#include "msi/install_package.h"
#include "msi/uninstall_product.h"

namespace velmora {

InstallStrategySteps SystemInstallStrategySteps(const std::wstring& logFolder, const MsiexecHost& host) {
  return InstallStrategySteps{
      [logFolder, host](const std::wstring& msiPath) { return InstallPackage(msiPath, logFolder, host); },
      [logFolder, host] { return UninstallProduct(logFolder, host); },
      host.showError,
  };
}

bool RunInstallStrategy(const std::wstring& msiPath, const std::wstring& logFolder, bool removeFirst) {
  return RunInstallStrategy(msiPath, removeFirst, SystemInstallStrategySteps(logFolder, MsiexecHost()));
}

}  // namespace velmora

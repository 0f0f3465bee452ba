#include "msi/system_install_strategy.h"

#include "msi/install_package.h"
#include "msi/uninstall_product.h"

namespace velmora {

InstallStrategySteps SystemInstallStrategySteps(const MsiexecHost& host) {
  return InstallStrategySteps{
      [host](const std::wstring& msiPath, std::uint32_t& exitCode) {
        return InstallPackage(msiPath, host, &exitCode);
      },
      [host](std::uint32_t& exitCode) { return UninstallProduct(host, &exitCode); },
      host.showError,
  };
}

bool RunInstallStrategy(const std::wstring& msiPath, bool removeFirst) {
  return RunInstallStrategy(msiPath, removeFirst, SystemInstallStrategySteps(MsiexecHost()));
}

}  // namespace velmora

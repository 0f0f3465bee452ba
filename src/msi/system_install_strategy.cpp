#include "msi/system_install_strategy.h"

#include "msi/install_package.h"
#include "msi/uninstall_product.h"

namespace velmora {

InstallStrategySteps SystemInstallStrategySteps(const std::wstring& logFolder, const MsiexecHost& host) {
  return InstallStrategySteps{
      [logFolder, host](const std::wstring& msiPath, std::uint32_t& exitCode) {
        return InstallPackage(msiPath, logFolder, host, &exitCode);
      },
      [logFolder, host](std::uint32_t& exitCode) { return UninstallProduct(logFolder, host, &exitCode); },
      host.showError,
  };
}

bool RunInstallStrategy(const std::wstring& msiPath, const std::wstring& logFolder, bool removeFirst) {
  return RunInstallStrategy(msiPath, removeFirst, SystemInstallStrategySteps(logFolder, MsiexecHost()));
}

}  // namespace velmora

#include "msi/win/system_install_strategy.h"

#include "msi/win/install_package.h"
#include "msi/win/uninstall_product.h"

namespace velmora {

InstallResult RunInstallStrategy(const std::wstring& msiPath, const std::wstring& logFolder, bool removeFirst,
                                 const InstallVersions& versions,
                                 const std::function<bool(std::wstring& path)>& previousPackage,
                                 const MsiexecCalls& calls, std::uint32_t* lastExitCode) {
  const InstallStrategyCalls steps{
      [&](const std::wstring& package, std::uint32_t& exitCode) {
        return InstallPackage(package, logFolder, calls, &exitCode);
      },
      [&](std::uint32_t& exitCode) { return UninstallProduct(logFolder, calls, &exitCode); },
      calls.notify,
      previousPackage,
  };
  return RunInstallStrategy(msiPath, removeFirst, versions, steps, lastExitCode);
}

}  // namespace velmora

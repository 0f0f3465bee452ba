// The install strategy wired to the real msiexec steps.
#pragma once

#include <functional>
#include <string>

#include "msi/install_strategy.h"
#include "msi/win/msiexec_calls.h"

namespace velmora {

// The worker's call: whether the verified package ended up installed, or the previous version
// was put back from previousPackage (see InstallStrategyCalls). The msiexec logs go to
// logFolder, which ends with its separator. lastExitCode as in the portable strategy.
[[nodiscard]] InstallResult RunInstallStrategy(const std::wstring& msiPath, const std::wstring& logFolder,
                                               bool removeFirst, const InstallVersions& versions,
                                               const std::function<bool(std::wstring& path)>& previousPackage,
                                               const MsiexecCalls& calls = {},
                                               std::uint32_t* lastExitCode = nullptr);

}  // namespace velmora

// The install strategy wired to the real msiexec steps.
#pragma once

#include <string>

#include "msi/install_strategy.h"
#include "msi/msiexec_host.h"

namespace velmora {

// The msiexec logs go to logFolder, which ends with its separator.
InstallStrategySteps SystemInstallStrategySteps(const std::wstring& logFolder, const MsiexecHost& host);

// The worker's call: true when the verified package ended up installed.
[[nodiscard]] bool RunInstallStrategy(const std::wstring& msiPath, const std::wstring& logFolder,
                                      bool removeFirst);

}  // namespace velmora

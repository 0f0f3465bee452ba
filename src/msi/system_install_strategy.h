// The install strategy wired to the real msiexec steps.
#pragma once

#include <string>

#include "msi/install_strategy.h"
#include "msi/msiexec_host.h"

namespace velmora {

InstallStrategySteps SystemInstallStrategySteps(const MsiexecHost& host);

// The worker's call: true when the verified package ended up installed.
bool RunInstallStrategy(const std::wstring& msiPath, bool removeFirst);

}  // namespace velmora

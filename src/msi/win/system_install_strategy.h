// The install strategy wired to the real msiexec steps.
#pragma once

#include <string>

#include "msi/install_strategy.h"
#include "msi/win/msiexec_calls.h"

namespace velmora {

// The worker's call: true when the verified package ended up installed. The msiexec logs go
// to logFolder, which ends with its separator. lastExitCode as in the portable strategy.
[[nodiscard]] bool RunInstallStrategy(const std::wstring& msiPath, const std::wstring& logFolder,
                                      bool removeFirst, const MsiexecCalls& calls = {},
                                      std::uint32_t* lastExitCode = nullptr);

}  // namespace velmora

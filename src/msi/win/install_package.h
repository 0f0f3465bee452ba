// Installs a downloaded MSI package over whatever is installed, through msiexec /i; whether
// that upgrades an installed version is the package's own rule.
#pragma once

#include <cstdint>
#include <string>

#include "msi/win/msiexec_calls.h"

namespace velmora {

// True on exit code 0, 1641 or 3010. Without a system folder it shows an error box and
// starts nothing; any other failure is only logged, the caller decides what follows.
// Its verbose log goes to logFolder, which ends with its separator. *exitCode (when non-null)
// receives msiexec's exit code, or kMsiexecNoExitCode when none started, or kMsiexecTimedOut when one ran out
// of time.
[[nodiscard]] bool InstallPackage(const std::wstring& msiPath, const std::wstring& logFolder,
                                  const MsiexecCalls& calls = {}, std::uint32_t* exitCode = nullptr);

}  // namespace velmora

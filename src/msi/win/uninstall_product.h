// Removes the registered product through msiexec /x with the product code from its record.
#pragma once

#include <cstdint>

#include "msi/win/msiexec_calls.h"

namespace velmora {

// True when the product is gone or was never registered (no product code, or exit code 0,
// 1605, 1641 or 3010). Never shows anything to the user. Its verbose log goes to logFolder,
// which ends with its separator. *exitCode (when non-null) receives msiexec's exit code, or
// kMsiexecNoExitCode when none started, or kMsiexecTimedOut when one ran out of time.
[[nodiscard]] bool UninstallProduct(const std::wstring& logFolder, const MsiexecCalls& calls = {},
                                    std::uint32_t* exitCode = nullptr);

}  // namespace velmora

// The bounded install sequence (install, uninstall, install again) with its status texts, log
// lines and the one message the user sees when everything failed. Written against its three
// steps so that every sequence is shown natively; the Windows build wires the msiexec steps
// (msi/win/system_install_strategy.h).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "base/notice.h"

namespace velmora {

// Each msiexec step also gives its exit code (kMsiexecNoExitCode when none ran to its end).
// This layer cannot name the system, so there are no defaults here: the Windows build's
// RunInstallStrategy (msi/win/system_install_strategy.h) passes the real steps.
struct InstallStrategyCalls {
  std::function<bool(const std::wstring& msiPath, std::uint32_t& exitCode)> installPackage;
  // True when the product is gone or was never registered.
  std::function<bool(std::uint32_t& exitCode)> uninstallProduct;
  // What the user is told; returns once a shown box has been dismissed.
  NoticeCall notify;
};

// At most three msiexec runs; true when the package ended up installed. A run the user
// cancelled (1602) or that found another installation going on (1618) ends the sequence at
// once with false, so the installed product is never removed in either case. lastExitCode,
// when given, receives the exit code of the last msiexec step that was made.
[[nodiscard]] bool RunInstallStrategy(const std::wstring& msiPath, bool removeFirst,
                                      const InstallStrategyCalls& calls,
                                      std::uint32_t* lastExitCode = nullptr);

}  // namespace velmora

// The bounded install sequence (install, uninstall, install again) with its status texts, log
// lines and the one message the user sees when everything failed. Written against its three
// steps so that every sequence is shown natively; the Windows build wires the msiexec steps
// (msi/win/system_install_strategy.h).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace velmora {

// Each msiexec step also gives its exit code (kMsiexecNoExitCode when none ran to its end).
// This layer cannot name the system, so there are no defaults here: the Windows build's
// RunInstallStrategy (msi/win/system_install_strategy.h) passes the real steps.
struct InstallStrategyCalls {
  std::function<bool(const std::wstring& msiPath, std::uint32_t& exitCode)> installPackage;
  // True when the product is gone or was never registered.
  std::function<bool(std::uint32_t& exitCode)> uninstallProduct;
  // An error message box with no owner window; returns once it has been dismissed.
  std::function<void(const std::wstring& text)> showError;
};

// At most three msiexec runs; true when the package ended up installed. A run the user
// cancelled (1602) or that found another installation going on (1618) ends the sequence at
// once with false, so the installed product is never removed in either case.
[[nodiscard]] bool RunInstallStrategy(const std::wstring& msiPath, bool removeFirst,
                                      const InstallStrategyCalls& calls);

}  // namespace velmora

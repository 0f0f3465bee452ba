// The bounded install sequence (install, uninstall, install again) with its status texts, log
// lines and the one message the user sees when everything failed. Written against its three
// steps so that every sequence is shown natively; the Windows build wires the msiexec steps
// (system_install_strategy.h).
#pragma once

#include <functional>
#include <string>

namespace velmora {

struct InstallStrategySteps {
  std::function<bool(const std::wstring& msiPath)> installPackage;
  // True when the product is gone or was never registered.
  std::function<bool()> uninstallProduct;
  // An error message box with no owner window; returns once it has been dismissed.
  std::function<void(const std::wstring& text)> showError;
};

// At most three msiexec runs; true when the package ended up installed.
bool RunInstallStrategy(const std::wstring& msiPath, bool removeFirst, const InstallStrategySteps& steps);

}  // namespace velmora

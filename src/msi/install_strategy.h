// The bounded install sequence (install, uninstall, install again) with its status texts, log
// lines and the one message the user sees when it did not end with the package installed.
// Written against its steps so that every sequence is shown natively; the Windows build wires
// the msiexec steps (msi/win/system_install_strategy.h).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "base/notice.h"

namespace velmora {

// Each msiexec step also gives its exit code (kMsiexecNoExitCode when none started,
// kMsiexecTimedOut when one ran out of time). This layer cannot name the system, so there are
// no defaults here: the Windows build's RunInstallStrategy (msi/win/system_install_strategy.h)
// passes the real steps.
struct InstallStrategyCalls {
  std::function<bool(const std::wstring& msiPath, std::uint32_t& exitCode)> installPackage;
  // True when the product is gone or was never registered.
  std::function<bool(std::uint32_t& exitCode)> uninstallProduct;
  // What the user is told; returns once a shown box has been dismissed.
  NoticeCall notify;
  // The kept package of the version that was installed when the run began, checked again and
  // held until the run ends; gives its path, or false (having logged why) when there is none
  // that can be trusted. Asked only once that version has been removed.
  std::function<bool(std::wstring& path)> previousPackage;
};

// The versions the messages name: the one installed when the run began (empty when none was)
// and the one offered.
struct InstallVersions {
  std::wstring previous;
  std::wstring offered;
};

enum class InstallResult {
  Installed,  // the offered package is installed
  Failed,     // it is not, and the user has been told
  Restored,   // it is not, but the previous version was put back and the user told so
};

// At most three msiexec runs for the offered package, and one more to put the previous version
// back when the sequence removed it and the package then failed. A run the user cancelled
// (1602), one that found another installation going on (1618) and one that ran out of time end
// the sequence at once: no further run starts, so the installed product is never removed on
// their account. lastExitCode, when given, receives the exit code of the last msiexec step made
// for the offered package.
[[nodiscard]] InstallResult RunInstallStrategy(const std::wstring& msiPath, bool removeFirst,
                                               const InstallVersions& versions,
                                               const InstallStrategyCalls& calls,
                                               std::uint32_t* lastExitCode = nullptr);

}  // namespace velmora

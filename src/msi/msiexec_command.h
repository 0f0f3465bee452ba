// The texts and numbers of the msiexec runs: the program's path, the verbose log paths, the
// install and uninstall command lines and which exit codes mean success. Pure, so that every
// quoting and code rule is checked natively.
#pragma once

#include <cstdint>
#include <string>

#include "base/run_mode.h"
#include "base/setup_state.h"

namespace velmora {

// The runner's result when msiexec did not start.
constexpr std::uint32_t kMsiexecNoExitCode = 0xFFFFFFFF;
// The runner's result when msiexec ran past its time limit and was stopped; not a code that
// msiexec gives itself.
constexpr std::uint32_t kMsiexecTimedOut = 0xFFFFFFFE;
// The user pressed Cancel in the installer's progress window.
constexpr std::uint32_t kMsiexecUserCancelled = 1602;
// Another installation holds Windows Installer.
constexpr std::uint32_t kMsiexecAnotherInstallRunning = 1618;
// Installed; the computer must restart to finish (started by Windows Installer, or still due).
constexpr std::uint32_t kMsiexecRestartStarted = 1641;
constexpr std::uint32_t kMsiexecRestartRequired = 3010;
constexpr std::uint32_t kMsiexecTimeoutMilliseconds = 300000;
constexpr std::uint32_t kMsiexecTimeoutSeconds = kMsiexecTimeoutMilliseconds / 1000;
constexpr std::uint32_t kMsiexecTerminatedWaitMilliseconds = 5000;
// The system folder is asked for with a buffer of this many characters.
constexpr std::uint32_t kFolderBufferUnits = 260;

// Whether GetSystemDirectoryW's result is a whole folder: 0 and lengths that did not fit
// the buffer are failures.
[[nodiscard]] bool IsUsableSystemFolderLength(std::uint32_t length);

std::wstring MsiexecPath(const std::wstring& systemFolder);

// The folder ends with its separator; an empty one leaves the bare file name.
std::wstring InstallLogPath(const std::wstring& folder, std::uint32_t processId);
std::wstring UninstallLogPath(const std::wstring& folder, std::uint32_t processId);

// Windows Installer's own interface for the run mode: basic with its Cancel button while
// someone watches (/qb), basic without anything to click when passive (/qb!), none when quiet (/qn).
const wchar_t* MsiexecUiSwitch(RunMode mode);

// The package path and the product code are passed whole, inside quotes, exactly as given.
std::wstring InstallCommandLine(const std::wstring& msiPath, const std::wstring& logPath, RunMode mode);
std::wstring UninstallCommandLine(const std::wstring& productCode, const std::wstring& logPath, RunMode mode);

// 0, 1641 (restart started) and 3010 (restart required); uninstall also takes 1605 (the
// product is not installed), since a product that is gone is what the uninstall wants.
[[nodiscard]] bool IsInstallSuccessCode(std::uint32_t exitCode);
[[nodiscard]] bool IsUninstallSuccessCode(std::uint32_t exitCode);
[[nodiscard]] bool IsRestartRequiredCode(std::uint32_t exitCode);

// What the last msiexec run of a failed install strategy says about the failure.
[[nodiscard]] FailureCause InstallFailureCause(std::uint32_t lastExitCode);

}  // namespace velmora

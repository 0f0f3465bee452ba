#include "msi/msiexec_command.h"

namespace velmora {
namespace {

std::wstring LogPath(const std::wstring& folder, const wchar_t* prefix, std::uint32_t processId) {
  return folder + prefix + std::to_wstring(processId) + L".log";
}

// The run mode's interface, no restart, a verbose log of everything.
std::wstring CommandLine(const wchar_t* action, const std::wstring& target, const std::wstring& logPath,
                         RunMode mode) {
  return std::wstring(L"msiexec.exe ") + action + L" \"" + target + L"\" " + MsiexecUiSwitch(mode) +
         L" /norestart /l*v \"" + logPath + L"\"";
}

}  // namespace

bool IsUsableSystemFolderLength(std::uint32_t length) { return length != 0 && length < kFolderBufferUnits; }

std::wstring MsiexecPath(const std::wstring& systemFolder) { return systemFolder + L"\\msiexec.exe"; }

std::wstring InstallLogPath(const std::wstring& folder, std::uint32_t processId) {
  return LogPath(folder, L"Velmora-MSI-", processId);
}

std::wstring UninstallLogPath(const std::wstring& folder, std::uint32_t processId) {
  return LogPath(folder, L"Velmora-Uninstall-", processId);
}

const wchar_t* MsiexecUiSwitch(RunMode mode) {
  switch (mode) {
    case RunMode::Passive:
      return L"/qb!";
    case RunMode::Quiet:
      return L"/qn";
    case RunMode::Interactive:
      break;
  }
  return L"/qb";
}

std::wstring InstallCommandLine(const std::wstring& msiPath, const std::wstring& logPath, RunMode mode) {
  return CommandLine(L"/i", msiPath, logPath, mode);
}

std::wstring UninstallCommandLine(const std::wstring& productCode, const std::wstring& logPath,
                                  RunMode mode) {
  return CommandLine(L"/x", productCode, logPath, mode);
}

bool IsRestartRequiredCode(std::uint32_t exitCode) {
  return exitCode == kMsiexecRestartStarted || exitCode == kMsiexecRestartRequired;
}

bool IsInstallSuccessCode(std::uint32_t exitCode) { return exitCode == 0 || IsRestartRequiredCode(exitCode); }

bool IsUninstallSuccessCode(std::uint32_t exitCode) {
  return exitCode == 1605 || IsInstallSuccessCode(exitCode);
}

FailureCause InstallFailureCause(std::uint32_t lastExitCode) {
  switch (lastExitCode) {
    case kMsiexecUserCancelled:
      return FailureCause::InstallerCancelled;
    case kMsiexecAnotherInstallRunning:
      return FailureCause::AnotherInstallRunning;
    default:
      return FailureCause::Installer;
  }
}

}  // namespace velmora

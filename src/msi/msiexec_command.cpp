#include "msi/msiexec_command.h"

namespace velmora {
namespace {

std::wstring LogPath(const std::wstring& folder, const wchar_t* prefix, std::uint32_t processId) {
  return folder + prefix + std::to_wstring(processId) + L".log";
}

// Basic interface, no restart, a verbose log of everything.
std::wstring CommandLine(const wchar_t* action, const std::wstring& target, const std::wstring& logPath) {
  return std::wstring(L"msiexec.exe ") + action + L" \"" + target + L"\" /qb /norestart /l*v \"" + logPath +
         L"\"";
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

std::wstring InstallCommandLine(const std::wstring& msiPath, const std::wstring& logPath) {
  return CommandLine(L"/i", msiPath, logPath);
}

std::wstring UninstallCommandLine(const std::wstring& productCode, const std::wstring& logPath) {
  return CommandLine(L"/x", productCode, logPath);
}

bool IsInstallSuccessCode(std::uint32_t exitCode) {
  return exitCode == 0 || exitCode == 1641 || exitCode == 3010;
}

bool IsUninstallSuccessCode(std::uint32_t exitCode) {
  return exitCode == 1605 || IsInstallSuccessCode(exitCode);
}

}  // namespace velmora

#include "msi/win/install_package.h"

#include "base/bootstrap_log.h"
#include "base/run_mode.h"
#include "msi/win/msiexec_runner.h"
#include "msi/win/stop_running_copies.h"
#include "base/user_texts.h"

namespace velmora {

bool InstallPackage(const std::wstring& msiPath, const std::wstring& logFolder, const MsiexecCalls& calls,
                    std::uint32_t* exitCode) {
  if (exitCode != nullptr) *exitCode = kMsiexecNoExitCode;
  std::wstring systemFolder;
  if (!GetSystemFolder(calls, systemFolder)) {
    LogMessage("Windows Installer not found; GetSystemDirectoryW failed.");
    calls.notify({NoticeIcon::Error, texts::kInstallerNotFound});
    return false;
  }
  // Every attempt of one run writes the same log, so the last attempt's log is what stays.
  const std::wstring logPath = InstallLogPath(logFolder, GetCurrentProcessId());
  const std::wstring msiexecPath = calls.msiexecPath(systemFolder);
  StopRunningCopies();
  const DWORD code =
      RunMsiexec(msiexecPath, systemFolder, InstallCommandLine(msiPath, logPath, SetupRunMode), calls);
  if (exitCode != nullptr) *exitCode = code;
  return IsInstallSuccessCode(code);
}

}  // namespace velmora

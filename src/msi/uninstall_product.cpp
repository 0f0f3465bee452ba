#include "msi/uninstall_product.h"

#include "app/bootstrap_log.h"
#include "msi/msiexec_runner.h"
#include "msi/stop_running_copies.h"
#include "product/product_record.h"

namespace velmora {

// Starts and waits like RunMsiexec, but with the uninstall's own log lines and without the
// command line in the log.
bool UninstallProduct(const std::wstring& logFolder, const MsiexecHost& host, std::uint32_t* exitCode) {
  if (exitCode != nullptr) *exitCode = kMsiexecNoExitCode;
  std::wstring productCode;
  if (!ReadInstallerValue(L"ProductCode", &productCode) || productCode.empty()) {
    LogMessage("No installed product code; skipping uninstall.");
    return true;
  }
  std::wstring systemFolder;
  if (!GetSystemFolder(host, systemFolder)) return false;
  const std::wstring logPath = UninstallLogPath(logFolder, GetCurrentProcessId());
  const std::wstring msiexecPath = host.msiexecPath(systemFolder);
  const std::wstring commandLine = UninstallCommandLine(productCode, logPath);
  StopRunningCopies();
  LogMessage("Uninstalling broken product %ls.", productCode.c_str());
  MsiexecProcess child;
  DWORD startError = 0;
  if (!StartMsiexec(msiexecPath, systemFolder, commandLine, child, startError)) {
    LogMessage("Could not start msiexec uninstall: %lu.", startError);
    return false;
  }
  if (!AwaitMsiexec(child, host)) {
    LogMessage("Uninstall timed out after %lu seconds.", static_cast<unsigned long>(kMsiexecTimeoutSeconds));
    AbandonMsiexec(child, host);
    return false;
  }
  const DWORD code = CollectMsiexecExitCode(child);
  LogMessage("Uninstall exit code: %lu.", code);
  if (exitCode != nullptr) *exitCode = code;
  return IsUninstallSuccessCode(code);
}

}  // namespace velmora

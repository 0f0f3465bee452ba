#include "msi/win/uninstall_product.h"

#include "base/bootstrap_log.h"
#include "base/run_mode.h"
#include "msi/win/msiexec_runner.h"
#include "msi/win/stop_running_copies.h"
#include "product/win/product_record.h"

namespace velmora {
namespace {

// The uninstall's own lines; its command line is not logged.
constexpr MsiexecLogTexts kUninstallLogTexts = {nullptr, "Could not start msiexec uninstall: %lu.",
                                                "Uninstall timed out after %lu seconds.",
                                                "Uninstall exit code: %lu."};

}  // namespace

bool UninstallProduct(const std::wstring& logFolder, const MsiexecCalls& calls, std::uint32_t* exitCode) {
  if (exitCode != nullptr) *exitCode = kMsiexecNoExitCode;
  std::wstring productCode;
  if (!ReadInstallerValue(L"ProductCode", &productCode) || productCode.empty()) {
    LogMessage("No installed product code; skipping uninstall.");
    return true;
  }
  std::wstring systemFolder;
  if (!GetSystemFolder(calls, systemFolder)) return false;
  const std::wstring logPath = UninstallLogPath(logFolder, GetCurrentProcessId());
  const std::wstring msiexecPath = calls.msiexecPath(systemFolder);
  const std::wstring commandLine = UninstallCommandLine(productCode, logPath, SetupRunMode);
  StopRunningCopies();
  LogMessage("Uninstalling broken product %ls.", productCode.c_str());
  const DWORD code = RunMsiexec(msiexecPath, systemFolder, commandLine, calls, kUninstallLogTexts);
  if (exitCode != nullptr) *exitCode = code;
  return IsUninstallSuccessCode(code);
}

}  // namespace velmora

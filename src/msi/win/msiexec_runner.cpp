#include "msi/win/msiexec_runner.h"

#include "base/bootstrap_log.h"
#include "base/win/scoped_handle.h"

namespace velmora {

DWORD RunMsiexec(const std::wstring& msiexecPath, const std::wstring& workingFolder,
                 const std::wstring& commandLine, const MsiexecCalls& calls, const MsiexecLogTexts& texts) {
  if (texts.starting != nullptr) LogMessage(texts.starting, commandLine.c_str());
  std::wstring writableCommandLine = commandLine;
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(msiexecPath.c_str(), writableCommandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      workingFolder.c_str(), &startup, &info)) {
    LogMessage(texts.startFailed, GetLastError());
    return kMsiexecNoExitCode;
  }
  ScopedProcessInformation child(info);
  if (calls.waitForProcess(child.Process(), kMsiexecTimeoutMilliseconds) == WAIT_TIMEOUT) {
    LogMessage(texts.timedOut, static_cast<unsigned long>(kMsiexecTimeoutSeconds));
    TerminateProcess(child.Process(), 1);
    calls.waitForProcess(child.Process(), kMsiexecTerminatedWaitMilliseconds);
    return kMsiexecTimedOut;
  }
  DWORD exitCode = 0;
  if (!GetExitCodeProcess(child.Process(), &exitCode)) exitCode = 1;
  child.Close();
  LogMessage(texts.exitCode, exitCode);
  return exitCode;
}

}  // namespace velmora

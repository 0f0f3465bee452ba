#include "msi/msiexec_runner.h"

#include "app/bootstrap_log.h"

namespace velmora {

bool StartMsiexec(const std::wstring& msiexecPath, const std::wstring& workingFolder,
                  const std::wstring& commandLine, MsiexecProcess& started, DWORD& startError) {
  std::wstring writableCommandLine = commandLine;
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(msiexecPath.c_str(), writableCommandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      workingFolder.c_str(), &startup, &info)) {
    startError = GetLastError();
    return false;
  }
  started.process = ScopedHandle(info.hProcess);
  started.thread = ScopedHandle(info.hThread);
  return true;
}

bool AwaitMsiexec(const MsiexecProcess& running, const MsiexecHost& host) {
  return host.waitForProcess(running.process.Get(), kMsiexecTimeoutMilliseconds) != WAIT_TIMEOUT;
}

void AbandonMsiexec(MsiexecProcess& running, const MsiexecHost& host) {
  TerminateProcess(running.process.Get(), 1);
  host.waitForProcess(running.process.Get(), kMsiexecTerminatedWaitMilliseconds);
  running.thread.Close();
  running.process.Close();
}

DWORD CollectMsiexecExitCode(MsiexecProcess& ended) {
  DWORD exitCode = 0;
  if (!GetExitCodeProcess(ended.process.Get(), &exitCode)) exitCode = 1;
  ended.thread.Close();
  ended.process.Close();
  return exitCode;
}

DWORD RunMsiexec(const std::wstring& msiexecPath, const std::wstring& workingFolder,
                 const std::wstring& commandLine, const MsiexecHost& host) {
  LogMessage("Starting Windows Installer: %ls", commandLine.c_str());
  MsiexecProcess child;
  DWORD startError = 0;
  if (!StartMsiexec(msiexecPath, workingFolder, commandLine, child, startError)) {
    LogMessage("CreateProcessW(msiexec) failed: %lu.", startError);
    return kMsiexecNoExitCode;
  }
  if (!AwaitMsiexec(child, host)) {
    LogMessage("Windows Installer timed out after %lu seconds.",
               static_cast<unsigned long>(kMsiexecTimeoutSeconds));
    AbandonMsiexec(child, host);
    return kMsiexecNoExitCode;
  }
  const DWORD exitCode = CollectMsiexecExitCode(child);
  LogMessage("Windows Installer exit code: %lu.", exitCode);
  return exitCode;
}

}  // namespace velmora

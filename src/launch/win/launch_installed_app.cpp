#include "launch/win/launch_installed_app.h"

#include <string>

#include "base/bootstrap_log.h"
#include "base/win/scoped_handle.h"
#include "base/win/win_util.h"
#include "launch/win/shell_user_token.h"
#include "launch/win/start_as_shell_user.h"
#include "msi/win/stop_running_copies.h"
#include "product/win/product_record.h"
#include "base/user_texts.h"

namespace velmora {
namespace {

// Shown in place of the log's path when the system gives no machine-wide data folder.
constexpr wchar_t kLogPathPattern[] = L"%ProgramData%\\Velmora\\Setup\\bootstrapper.log";
constexpr DWORD kPollIntervalMs = 100;

void ShowWarning(const LaunchCalls& calls, const std::wstring& text) {
  calls.notify({NoticeIcon::Warning, text, texts::kLaunchCaption});
}

// Polls until the window shows, the process ends or the limit passes. True for the window;
// otherwise the exit code, STILL_ACTIVE when the process was still running at the limit.
bool WaitForApplicationWindow(HANDLE process, ULONGLONG limitMs, DWORD& exitCode) {
  exitCode = STILL_ACTIVE;
  const ULONGLONG deadline = GetTickCount64() + limitMs;
  while (GetTickCount64() < deadline) {
    if (FindApplicationWindow() != nullptr) return true;
    DWORD code = 0;
    if (GetExitCodeProcess(process, &code) && code != STILL_ACTIVE) {
      exitCode = code;
      LogMessage("Velmora exited before showing a window (exit code %lu).", code);
      return false;
    }
    Sleep(kPollIntervalMs);
  }
  return false;
}

}  // namespace

HWND FindApplicationWindow() {
  const HWND byTitle = FindWindowW(nullptr, L"Velmora");
  return byTitle != nullptr ? byTitle : FindWindowW(L"VelmoraNativeClass", nullptr);
}

bool LaunchInstalledApp(const LaunchCalls& calls) {
  if (const HWND existing = FindApplicationWindow()) {
    ShowWindow(existing, SW_RESTORE);
    SetForegroundWindow(existing);
    LogMessage("Existing Velmora window focused.");
    return true;
  }

  ProcessStart target;
  target.folder = GetInstallFolder();
  target.exePath = GetInstalledExePath();
  if (target.folder.empty()) {
    LogMessage("Installed Velmora folder is missing.");
    ShowWarning(calls, texts::kMissingInstallFolder);
    return false;
  }
  if (!IsFile(target.exePath)) {
    LogMessage("Velmora.exe is missing from %ls.", target.folder.c_str());
    ShowWarning(calls, texts::kMissingExecutable);
    return false;
  }

  // The application has an embedded web sign-in and must never run elevated: without the
  // signed-in user's token (Explorer ended, a service or SYSTEM context) it is not started.
  const ScopedHandle token = GetShellUserToken();
  if (!token) {
    LogMessage(
        "Velmora not launched: no signed-in user's token (no shell window); it is not started as "
        "administrator.");
    ShowWarning(calls, texts::kCouldNotStartApp);
    return false;
  }

  // A copy that runs without showing a window would otherwise run beside the new one.
  StopRunningCopies();

  LogMessage("Launching %ls.", target.exePath.c_str());
  target.commandLine = L"\"" + target.exePath + L"\"";
  target.startup.cb = sizeof target.startup;

  if (!StartAsShellUser("Velmora", calls, token.Get(), target)) {
    LogMessage("Velmora not launched: it is not started with the administrator token instead.");
    ShowWarning(calls, texts::kCouldNotStartApp);
    return false;
  }
  ScopedProcessInformation started(target.process);
  LogMessage("Velmora process started with PID %lu.", started.ProcessId());

  DWORD exitCode = STILL_ACTIVE;
  const bool shown = WaitForApplicationWindow(started.Process(), calls.windowWaitMs, exitCode);
  started.Close();
  if (shown) {
    LogMessage("Velmora window is visible.");
    return true;
  }
  if (exitCode == STILL_ACTIVE) {
    LogMessage("Velmora window did not appear within 30 seconds; the process is still running.");
  }
  const std::wstring logPath = GetLogFilePath();
  ShowWarning(calls, texts::kCouldNotOpenApp + (logPath.empty() ? std::wstring(kLogPathPattern) : logPath));
  return false;
}

}  // namespace velmora

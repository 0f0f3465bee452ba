#include "launch/win/launch_installed_app.h"

#include <string>

#include "base/bootstrap_log.h"
#include "base/win/scoped_handle.h"
#include "base/win/win_util.h"
#include "launch/win/privilege.h"
#include "launch/win/shell_user_token.h"
#include "msi/win/stop_running_copies.h"
#include "product/win/product_record.h"
#include "base/user_texts.h"

namespace velmora {
namespace {

// Shown in place of the log's path when the system gives no machine-wide data folder.
constexpr wchar_t kLogPathPattern[] = L"%ProgramData%\\Velmora\\Setup\\bootstrapper.log";
constexpr DWORD kPollIntervalMs = 100;

using ScopedEnvironmentBlock = Scoped<NullEmptyTraits<LPVOID, DestroyUserEnvironmentBlock>>;

// What every attempt starts: the same path, command line and folder, and the same startup and
// process records.
struct LaunchTarget {
  std::wstring exePath;
  std::wstring commandLine;
  std::wstring folder;
  STARTUPINFOW startup = {};
  PROCESS_INFORMATION process = {};
};

void ShowWarning(const LaunchCalls& calls, const std::wstring& text) {
  calls.messageBox(nullptr, text.c_str(), texts::kLaunchCaption, MB_ICONWARNING);
}

// With the signed-in user's token, as that user and then through the token API. False when both
// attempts failed.
bool StartWithShellUserToken(const LaunchCalls& calls, const ScopedHandle& token, LaunchTarget& target) {
  LPVOID rawBlock = nullptr;
  calls.createEnvironmentBlock(&rawBlock, token.Get(), FALSE);
  const ScopedEnvironmentBlock environment(rawBlock);
  const DWORD flags = environment ? CREATE_UNICODE_ENVIRONMENT : 0;
  if (calls.createProcessAsUser(token.Get(), target.exePath.c_str(), target.commandLine.data(), nullptr,
                                nullptr, FALSE, flags, environment.Get(), target.folder.c_str(),
                                &target.startup, &target.process)) {
    LogMessage("Velmora launched in the signed-in user context.");
    return true;
  }
  LogMessage("CreateProcessAsUserW failed: %lu; trying token API.", GetLastError());
  if (calls.createProcessWithToken(token.Get(), LOGON_WITH_PROFILE, target.exePath.c_str(),
                                   target.commandLine.data(), flags, environment.Get(), target.folder.c_str(),
                                   &target.startup, &target.process)) {
    LogMessage("Velmora launched with the signed-in user token.");
    return true;
  }
  LogMessage("CreateProcessWithTokenW failed: %lu.", GetLastError());
  return false;
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

  LaunchTarget target;
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

  // Starting a process with another user's token needs these; without them that attempt
  // fails and the next one is tried.
  (void)EnablePrivilege(L"SeAssignPrimaryTokenPrivilege");
  (void)EnablePrivilege(L"SeIncreaseQuotaPrivilege");
  (void)EnablePrivilege(L"SeImpersonatePrivilege");

  LogMessage("Launching %ls.", target.exePath.c_str());
  target.commandLine = L"\"" + target.exePath + L"\"";
  target.startup.cb = sizeof target.startup;

  if (!StartWithShellUserToken(calls, token, target)) {
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

// The program's entry: the command line, one copy per logged-on desktop, the window (none in a
// quiet run), the WebView2 prompt, the worker, the message loop, and the outcome turned into
// the last message and the exit code.
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <system_error>
#include <thread>

#include "app/exit_code.h"
#include "app/win/command_line_reader.h"
#include "app/win/startup.h"
#include "app/win/usage.h"
#include "base/bootstrap_log.h"
#include "base/run_mode.h"
#include "base/setup_state.h"
#include "base/win/notice.h"
#include "base/win/win_util.h"
#include "launch/win/userenv_api.h"
#include "net/win/bcrypt_api.h"
#include "net/win/crypt32_api.h"
#include "profile/vendor_profile.h"
#include "ui/win/setup_window.h"
#include "webview/win/webview2_prompt.h"
#include "workflow/win/system_worker.h"
#include "base/user_texts.h"

namespace velmora {
namespace {

constexpr int kSecondCopyTries = 20;
constexpr DWORD kSecondCopyPauseMilliseconds = 100;

// The worker thread lives in a process-wide slot until the entry joins it.
std::thread WorkerThread;

int ShowError(const wchar_t* text) {
  TellUser({NoticeIcon::Error, text});
  return ExitCodeFor(SetupRunMode, {Outcome::Failed, FailureCause::Setup});
}

// The first copy's window, restored and brought to the front; false when none appeared.
bool HandOverToFirstCopy() {
  for (int attempt = 0; attempt < kSecondCopyTries; ++attempt) {
    const HWND other = FindWindowW(kSetupWindowClass, kSetupWindowTitle);
    if (other != nullptr) {
      ShowWindow(other, SW_RESTORE);
      SetForegroundWindow(other);
      return true;
    }
    Sleep(kSecondCopyPauseMilliseconds);
  }
  return false;
}

// Another copy holds the mutex. Someone watching is handed over to its window; an
// unattended run touches no window and tells its deployment tool to try again later.
int RunAsSecondCopy() {
  if (!IsUnattended() && HandOverToFirstCopy()) return SecondCopyExitCode(SetupRunMode, true);
  const int exitCode = SecondCopyExitCode(SetupRunMode, false);
  LogMessage("Velmora Setup is already running (PID %lu ends with exit code %d).", GetCurrentProcessId(),
             exitCode);
  TellUser({NoticeIcon::Information, texts::kAlreadyRunning});
  return exitCode;
}

// The last message, the unattended finish and the exit code, from what the worker left.
int EndRun(bool createShortcut) {
  const RunEnd end{SetupOutcome.load(), SetupFailureCause.load(), RestartRequired.load()};
  if (end.outcome == Outcome::Failed) {
    std::wstring message = CopyErrorText();
    if (message.empty()) {
      message = FillIn(texts::kCouldNotComplete, {MessageHost()});
    }
    TellUser({NoticeIcon::Error, message});
  }
  const bool succeeded = end.outcome == Outcome::UpToDate || end.outcome == Outcome::Installed;
  if (IsUnattended() && succeeded) FinishUnattended(createShortcut);
  const int exitCode = ExitCodeFor(SetupRunMode, end);
  if (IsUnattended()) LogMessage("Unattended run ends with exit code %d.", exitCode);
  return exitCode;
}

// The switches, the mode and the log's copy, before anything else happens. False with the
// exit code when the run ends here.
bool ApplyCommandLine(SetupOptions& options, int& exitCode) {
  std::wstring error;
  if (!ReadSetupCommandLine(GetCommandLineW(), options, &error)) {
    LogMessage("Command line not understood: %ls; ending with exit code %d.", error.c_str(),
               kExitInvalidParameter);
    exitCode = kExitInvalidParameter;
    return false;
  }
  SetupRunMode = options.mode;
  ForceFallbackManifest = options.fallbackManifest;
  if (!options.logCopyPath.empty() && !StartLogCopy(options.logCopyPath)) {
    LogMessage("The log copy %ls could not be opened; this run logs only to its own log.",
               options.logCopyPath.c_str());
  }
  if (options.showHelp) {
    ShowUsage();
    exitCode = kExitSuccess;
    return false;
  }
  if (IsUnattended()) {
    LogMessage("Unattended run (%ls%ls).", SetupRunMode == RunMode::Quiet ? L"/quiet" : L"/passive",
               options.shortcut ? L" /shortcut" : L"");
  }
  return true;
}

// Starts the worker and waits for its final report; with a window, by pumping its messages
// until the window is gone.
bool RunWorker(HWND window) {
  try {
    WorkerThread = std::thread(Worker);
  } catch (const std::system_error&) {
    // Without a worker nothing would ever end the run: say so rather than wait forever.
    if (window != nullptr) DestroyWindow(window);
    return false;
  }
  if (window != nullptr) {
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
  WorkerThread.join();
  return true;
}

int RunSetupProgram(HINSTANCE instance) {
  SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  // Bound now, from the system folder, and kept for the process's life: a later load of one of
  // these by name (WinHTTP's delayed import of crypt32, for one) then gets the copy already in
  // the process instead of searching. A failed binding is reported by the operation needing it.
  GetCrypt32Api();
  GetBcryptApi();
  GetUserenvApi();
  SetupOptions options;
  int exitCode = kExitSuccess;
  if (!ApplyCommandLine(options, exitCode)) return exitCode;
  // A quiet run draws nothing, so it does without GDI+ and its helper window.
  const bool drawing = SetupRunMode != RunMode::Quiet;
  if (!(drawing ? StartComAndGdiplus() : StartCom())) return ShowError(texts::kCouldNotStart);

  // Never closed: the system releases it when the process ends.
  const HANDLE singleInstance = CreateMutexW(nullptr, TRUE, L"Local\\VelmoraSetup_SingleInstance");
  if (singleInstance != nullptr && GetLastError() == ERROR_ALREADY_EXISTS) return RunAsSecondCopy();

  HWND window = nullptr;
  if (drawing) {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    if (!RegisterSetupWindowClass(instance)) return ShowError(texts::kCouldNotStart);
    window = CreateSetupWindow(instance);
    if (window == nullptr) return ShowError(texts::kCouldNotCreateWindow);
    ShowSetupWindow(window);
  }

  PromptForWebView2();

  if (!RunWorker(window)) return ShowError(texts::kCouldNotStart);
  return EndRun(options.shortcut);
}

}  // namespace
}  // namespace velmora

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) { return velmora::RunSetupProgram(instance); }

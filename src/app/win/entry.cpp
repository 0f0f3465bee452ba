// The program's entry: one copy per logged-on desktop, the window, the WebView2 prompt, the
// worker, the message loop, and the outcome turned into the last message and the exit code.
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <system_error>
#include <thread>

#include "app/win/startup.h"
#include "base/setup_state.h"
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
// Windows Installer's own code for a setup the user cancelled, so that a caller that knows
// installers reads it as such.
constexpr int kExitCancelledByUser = ERROR_INSTALL_USEREXIT;
constexpr DWORD kSecondCopyPauseMilliseconds = 100;

// The worker thread lives in a process-wide slot until the entry joins it.
std::thread WorkerThread;

int ShowError(const wchar_t* text) {
  MessageBoxW(nullptr, text, kSetupCaption, MB_ICONERROR);
  return 1;
}

// Another copy holds the mutex: bring its window to the front, or say that it runs.
int RunAsSecondCopy() {
  for (int attempt = 0; attempt < kSecondCopyTries; ++attempt) {
    const HWND other = FindWindowW(kSetupWindowClass, kSetupWindowTitle);
    if (other != nullptr) {
      ShowWindow(other, SW_RESTORE);
      SetForegroundWindow(other);
      return 0;
    }
    Sleep(kSecondCopyPauseMilliseconds);
  }
  MessageBoxW(nullptr, texts::kAlreadyRunning, kSetupCaption, MB_ICONINFORMATION);
  return 0;
}

int ExitCodeForOutcome() {
  switch (SetupOutcome.load()) {
    case Outcome::UpToDate:
    case Outcome::Installed:
      return 0;
    case Outcome::Failed: {
      std::wstring message = CopyErrorText();
      if (message.empty()) {
        message = FillIn(texts::kCouldNotComplete, {MessageHost()});
      }
      MessageBoxW(nullptr, message.c_str(), kSetupCaption, MB_ICONERROR);
      return 1;
    }
    case Outcome::Cancelled:
      return kExitCancelledByUser;  // the user asked for it: nothing to tell them
    // The install strategy has shown its own message, naming the versions in the restored case.
    case Outcome::InstallFailed:
    case Outcome::Restored:
    case Outcome::Pending:
      break;
  }
  return 1;
}

int RunSetupProgram(HINSTANCE instance) {
  SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  // Bound now, from the system folder, and kept for the process's life: a later load of one of
  // these by name (WinHTTP's delayed import of crypt32, for one) then gets the copy already in
  // the process instead of searching. A failed binding is reported by the operation needing it.
  GetCrypt32Api();
  GetBcryptApi();
  GetUserenvApi();
  ForceFallbackManifest = std::wstring(GetCommandLineW()).find(L"--fallback-manifest") != std::wstring::npos;
  if (!StartComAndGdiplus()) return ShowError(texts::kCouldNotStart);

  // Never closed: the system releases it when the process ends.
  const HANDLE singleInstance = CreateMutexW(nullptr, TRUE, L"Local\\VelmoraSetup_SingleInstance");
  if (singleInstance != nullptr && GetLastError() == ERROR_ALREADY_EXISTS) return RunAsSecondCopy();

  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  if (!RegisterSetupWindowClass(instance)) return ShowError(texts::kCouldNotStart);
  const HWND window = CreateSetupWindow(instance);
  if (window == nullptr) return ShowError(texts::kCouldNotCreateWindow);
  ShowSetupWindow(window);

  PromptForWebView2();

  try {
    WorkerThread = std::thread(Worker);
  } catch (const std::system_error&) {
    // Without a worker nothing would ever end the run: say so rather than wait forever.
    DestroyWindow(window);
    return ShowError(texts::kCouldNotStart);
  }
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  WorkerThread.join();
  return ExitCodeForOutcome();
}

}  // namespace
}  // namespace velmora

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) { return velmora::RunSetupProgram(instance); }

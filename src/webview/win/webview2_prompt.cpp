#include "webview/win/webview2_prompt.h"

#include "base/bootstrap_log.h"
#include "base/run_mode.h"
#include "base/setup_state.h"
#include "base/win/win_util.h"
#include "launch/win/open_page_as_user.h"
#include "ui/setup_window_state.h"

namespace velmora {

bool webView2PromptDone = false;

namespace {

struct PromptDialog {
  const wchar_t* instruction;
  const wchar_t* content;
  TASKDIALOG_BUTTON buttons[2];
  int defaultButton;
  // The Yes/No box shown instead when the task dialog is unavailable, and what Yes means.
  const wchar_t* fallbackText;
  UINT fallbackStyle;
};

constexpr PromptDialog kMissingDialog = {
    L"Microsoft Edge WebView2 Runtime is missing",
    L"Velmora uses the Microsoft Edge WebView2 Runtime for secure browser sign-in and web pages."
    L"\n\nInstall it from Microsoft, then click Recheck. Velmora can still open without it, but "
    L"web sign-in may not work.",
    {{kInstallButton, L"Install"}, {kContinueWithoutButton, L"Not now"}},
    kInstallButton,
    L"Microsoft Edge WebView2 Runtime is missing.\n\nOpen the official Microsoft download page now?",
    MB_ICONWARNING | MB_YESNO,
};

constexpr PromptDialog kRecheckDialog = {
    L"Install WebView2, then recheck",
    L"After the Microsoft installer finishes, click Recheck.",
    {{kRecheckButton, L"Recheck"}, {kContinueWithoutButton, L"Continue without"}},
    kRecheckButton,
    L"Click Yes after installing WebView2 to recheck, or No to continue without it.",
    MB_ICONQUESTION | MB_YESNO,
};

HWND Owner() { return static_cast<HWND>(SetupWindowHandle); }

// The chosen button; closing the dialog gives the cancel identifier, which matches no button.
int AskUser(const PromptDialog& dialog, const WebView2PromptCalls& calls) {
  TASKDIALOGCONFIG config = {};
  config.cbSize = sizeof config;
  config.hwndParent = Owner();
  config.hInstance = GetModuleHandleW(nullptr);
  config.dwFlags = TDF_ALLOW_DIALOG_CANCELLATION | TDF_POSITION_RELATIVE_TO_WINDOW;
  config.pszWindowTitle = kSetupCaption;
  config.pszMainIcon = TD_WARNING_ICON;
  config.pszMainInstruction = dialog.instruction;
  config.pszContent = dialog.content;
  config.cButtons = 2;
  config.pButtons = dialog.buttons;
  config.nDefaultButton = dialog.defaultButton;
  int button = 0;
  if (SUCCEEDED(calls.showTaskDialog(config, button))) return button;
  return MessageBoxW(Owner(), dialog.fallbackText, kSetupCaption, dialog.fallbackStyle) == IDYES
             ? dialog.defaultButton
             : kContinueWithoutButton;
}

}  // namespace

HRESULT ShowSystemTaskDialog(const TASKDIALOGCONFIG& config, int& button) {
  return TaskDialogIndirect(&config, &button, nullptr, nullptr);
}

void OpenPageInDefaultBrowser(const wchar_t* url) { (void)OpenPageAsShellUser(url); }

void PromptForWebView2(const WebView2PromptCalls& calls) {
  if (webView2PromptDone) return;
  webView2PromptDone = true;
  if (calls.isRuntimeInstalled({})) {
    LogMessage("Microsoft Edge WebView2 Runtime is present.");
    return;
  }
  WindowState.webView2Missing = true;
  if (IsUnattended()) {
    LogMessage("Microsoft Edge WebView2 Runtime is missing; unattended run, continuing without it.");
    return;
  }
  LogMessage("Microsoft Edge WebView2 Runtime is missing.");
  if (AskUser(kMissingDialog, calls) != kInstallButton) {
    LogMessage("WebView2 prompt dismissed; continuing without it.");
    return;
  }
  calls.openDownloadPage(kWebView2DownloadUrl);
  if (AskUser(kRecheckDialog, calls) != kRecheckButton) {
    LogMessage("WebView2 installation was skipped.");
    return;
  }
  // One recheck only: the user is not offered another.
  if (calls.isRuntimeInstalled({})) {
    WindowState.webView2Missing = false;
    LogMessage("WebView2 runtime is now installed.");
    return;
  }
  WindowState.webView2Missing = true;
  calls.notify({NoticeIcon::Warning,
                L"Microsoft Edge WebView2 Runtime is still missing.\n\nVelmora can open, but web "
                L"sign-in may not work until it is installed.",
                kSetupCaption, Owner()});
  LogMessage("WebView2 recheck failed; runtime is still missing.");
}

}  // namespace velmora

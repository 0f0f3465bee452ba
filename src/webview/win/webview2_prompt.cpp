#include "webview/win/webview2_prompt.h"

#include "base/bootstrap_log.h"
#include "base/run_mode.h"
#include "base/setup_state.h"
#include "base/win/win_util.h"
#include "launch/win/open_page_as_user.h"
#include "ui/setup_window_state.h"
#include "base/user_texts.h"

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
    texts::kWebView2MissingTitle,
    texts::kWebView2MissingText,
    {{kInstallButton, texts::kWebView2InstallButton}, {kContinueWithoutButton, texts::kWebView2NotNowButton}},
    kInstallButton,
    texts::kWebView2MissingQuestion,
    MB_ICONWARNING | MB_YESNO,
};

constexpr PromptDialog kRecheckDialog = {
    texts::kWebView2RecheckTitle,
    texts::kWebView2RecheckText,
    {{kRecheckButton, texts::kWebView2RecheckButton},
     {kContinueWithoutButton, texts::kWebView2ContinueButton}},
    kRecheckButton,
    texts::kWebView2RecheckQuestion,
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
  calls.notify({NoticeIcon::Warning, texts::kWebView2StillMissing, kSetupCaption, Owner()});
  LogMessage("WebView2 recheck failed; runtime is still missing.");
}

}  // namespace velmora

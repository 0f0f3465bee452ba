// The WebView2 prompt: run once on the UI thread before the worker starts. When the runtime is
// missing the user may open the download page, install it and ask for one recheck, or go on
// without it; setup continues in every case and only webView2Missing remembers the answer.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <functional>

#include "base/win/notice.h"
#include "webview/win/webview2_detection.h"

namespace velmora {

// Button identifiers of the two dialogs.
inline constexpr int kInstallButton = 100;
inline constexpr int kContinueWithoutButton = 101;  // "Not now" in the first dialog
inline constexpr int kRecheckButton = 102;

// The runtime's published download link on the vendor's link-redirection host.
inline constexpr wchar_t kWebView2DownloadUrl[] = L"https://go.microsoft.com/fwlink/p/?LinkId=2124703";

// The system's own task dialog, and the user's default browser started as that user (never as
// administrator; the log says when it could not be).
[[nodiscard]] HRESULT ShowSystemTaskDialog(const TASKDIALOGCONFIG& config, int& button);
void OpenPageInDefaultBrowser(const wchar_t* url);

// What the prompt asks of the system, as callables whose defaults are the real detection, task
// dialog and browser: tests replace the download page (no browser may start) and the task
// dialog (to make it fail and reach the message boxes), and watch the detection.
struct WebView2PromptCalls {
  // Given the detection's own calls, so that a watcher can pass them on.
  std::function<bool(const WebView2DetectionCalls& detection)> isRuntimeInstalled =
      IsWebView2RuntimeInstalled;
  // TaskDialogIndirect: the chosen button's identifier in `button`.
  std::function<HRESULT(const TASKDIALOGCONFIG& config, int& button)> showTaskDialog = ShowSystemTaskDialog;
  std::function<void(const wchar_t* url)> openDownloadPage = OpenPageInDefaultBrowser;
  // Tells the user that the recheck still found no runtime.
  NoticeCall notify = TellUser;
};

// Set by the first call; a later call in the same process does nothing.
extern bool webView2PromptDone;

// An unattended run asks nothing: a missing runtime is logged and the run goes on.

void PromptForWebView2(const WebView2PromptCalls& calls = {});

}  // namespace velmora

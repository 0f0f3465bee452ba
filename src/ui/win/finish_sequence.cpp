#include "ui/win/finish_sequence.h"

#include "base/bootstrap_log.h"
#include "base/win/win_util.h"
#include "ui/setup_window_state.h"
#include "base/user_texts.h"

namespace velmora {
namespace {

void CreateShortcutOrSaySo(const FinishCalls& calls, HWND owner) {
  if (calls.createDesktopShortcut()) return;
  calls.notify({NoticeIcon::Warning, texts::kShortcutFailed, texts::kSetupCaption, owner});
}

}  // namespace

void RequestFinish(HWND window, const FinishCalls& calls) {
  SetupWindowState& state = WindowState;
  if (!state.finishScreenShown || state.finishing) return;
  if (state.launchSelected || state.shortcutSelected) {
    state.finishing = true;
    SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    // Painted now: the launch may keep this thread from dispatching anything for a while.
    InvalidateRect(window, nullptr, FALSE);
    UpdateWindow(window);
  }
  LogMessage("Finish requested: launch=%d shortcut=%d.", state.launchSelected ? 1 : 0,
             state.shortcutSelected ? 1 : 0);
  if (state.shortcutSelected) CreateShortcutOrSaySo(calls, window);
  if (state.launchSelected) calls.launchInstalledApp({});
  DestroyWindow(window);
}

void FinishUnattended(bool createShortcut, const FinishCalls& calls) {
  LogMessage("Unattended finish: launch=0 shortcut=%d.", createShortcut ? 1 : 0);
  if (createShortcut) CreateShortcutOrSaySo(calls, nullptr);
}

}  // namespace velmora

#include "ui/win/finish_sequence.h"

#include "base/bootstrap_log.h"
#include "base/win/win_util.h"
#include "ui/setup_window_state.h"
#include "base/user_texts.h"

namespace velmora {

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
  if (state.shortcutSelected && !calls.createDesktopShortcut()) {
    MessageBoxW(window, texts::kShortcutFailed, kSetupCaption, MB_ICONWARNING);
  }
  if (state.launchSelected) calls.launchInstalledApp({});
  DestroyWindow(window);
}

}  // namespace velmora

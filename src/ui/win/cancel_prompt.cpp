#include "ui/win/cancel_prompt.h"

#include "base/bootstrap_log.h"
#include "base/setup_state.h"
#include "base/win/win_util.h"
#include "ui/setup_window_state.h"
#include "base/user_texts.h"

namespace velmora {

void AskToCancelSetup(HWND window) {
  SetupWindowState& state = WindowState;
  if (state.cancelPromptOpen) return;
  state.cancelPromptOpen = true;
  // No is the default: Enter pressed out of habit keeps the download going.
  const int answer =
      MessageBoxW(window, texts::kCancelQuestion, kSetupCaption, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2);
  state.cancelPromptOpen = false;
  if (answer != IDYES) return;
  if (RequestCancel()) {
    LogMessage("Cancel requested by the user.");
  } else {
    LogMessage("Cancel declined: the download had already ended.");
  }
}

}  // namespace velmora

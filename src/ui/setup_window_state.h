// The setup window's own state: what the finish screen offers, what the mouse is over, and
// whether the Finish sequence runs. Read and written only on the UI thread; the worker
// reaches the window through its posted notifications alone.
#pragma once

#include "ui/finish_screen_targets.h"

namespace velmora {

struct SetupWindowState {
  bool launchSelected = true;
  bool shortcutSelected = true;
  // Cleared when the finish screen finds no signed-in user to act for (no shell window): the
  // launch and the shortcut would then run as administrator, so neither is offered or done.
  bool actionsOffered = true;
  // Set once when the finish screen replaces the progress screen; never cleared.
  bool finishScreenShown = false;
  // Set once when the Finish sequence starts; from then on all input is ignored.
  bool finishing = false;
  bool hoverLaunch = false;
  bool hoverShortcut = false;
  bool hoverFinish = false;
  // The finish screen's keyboard focus: Tab and Shift+Tab move it, Space acts on it. It starts
  // on the first option, as a dialog's focus starts on its first control.
  FinishTarget focus = FinishTarget::LaunchOption;
  // The focus cue is drawn only once the keyboard has been used, as in the system's dialogs.
  bool focusCueShown = false;
  // Recorded by the WebView2 prompt before the worker starts; adds a warning to the finish screen.
  bool webView2Missing = false;
  // The "Cancel Velmora setup?" question is on the screen; a second close does not ask again.
  bool cancelPromptOpen = false;
};

// The one instance for the life of the process.
extern SetupWindowState WindowState;

}  // namespace velmora

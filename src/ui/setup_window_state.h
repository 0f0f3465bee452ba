// The setup window's own state: what the finish screen offers, what the mouse is over, and
// whether the Finish sequence runs. Read and written only on the UI thread; the worker
// reaches the window through its posted notifications alone.
#pragma once

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
  // Recorded by the WebView2 prompt before the worker starts; adds a warning to the finish screen.
  bool webView2Missing = false;
};

// The one instance for the life of the process.
extern SetupWindowState WindowState;

}  // namespace velmora

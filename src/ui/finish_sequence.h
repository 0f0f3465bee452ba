// What the Finish button does: the selected post-install actions, then the window closes.
#pragma once

#include <windows.h>

#include <functional>

namespace velmora {

// The two post-install actions the Finish sequence runs, as callables so that tests can watch
// the sequence with recording ones.
struct FinishActions {
  std::function<bool()> createDesktopShortcut;  // true when the link was saved
  std::function<void()> launchInstalledApp;     // reports its own failures
};

// The actions RequestFinish runs: CreateDesktopShortcut and LaunchInstalledApp.
extern FinishActions FinishActionsInUse;

// Shows the busy button before the slow steps, makes the shortcut before the application
// starts, and destroys the window last. Does nothing before the finish screen or twice.
void RequestFinish(HWND window);

}  // namespace velmora

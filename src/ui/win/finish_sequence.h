// What the Finish button does: the selected post-install actions, then the window closes.
#pragma once

#include <windows.h>

#include <functional>

#include "base/win/notice.h"
#include "launch/win/desktop_shortcut.h"
#include "launch/win/launch_installed_app.h"
#include "launch/win/shell_user_token.h"

namespace velmora {

// The two post-install actions the Finish sequence runs and what it tells the user, as
// callables whose defaults are the program's own, so that tests can watch the sequence with
// recording ones.
struct FinishCalls {
  std::function<bool()> createDesktopShortcut = CreateDesktopShortcut;  // true when the link was saved
  // Reports its own failures; given the launch's own calls.
  std::function<bool(const LaunchCalls& launch)> launchInstalledApp = LaunchInstalledApp;
  // Whether a signed-in user's token can be had, asked as the finish screen appears: without
  // one, neither action is offered.
  std::function<bool()> signedInUserPresent = [] { return GetShellUserToken().Valid(); };
  NoticeCall notify = TellUser;
};

// Shows the busy button before the slow steps, makes the shortcut before the application
// starts, and destroys the window last. Does nothing before the finish screen or twice.
void RequestFinish(HWND window, const FinishCalls& calls);

// The end of an unattended run that installed or found Velmora current: nothing is launched,
// and the shortcut is made only when the command line asked for it.
void FinishUnattended(bool createShortcut, const FinishCalls& calls = {});

}  // namespace velmora

// Starts the installed Velmora.exe as the user signed in to the desktop, never as the elevated
// setup account (it has an embedded web sign-in), trying the token API when the first way fails,
// and waits for its window so the user can be told when it did not open.
#pragma once

#include <windows.h>

#include <functional>

#include "base/win/notice.h"
#include "launch/win/userenv_api.h"

namespace velmora {

// The system calls of the launch that a test may replace, to produce faults the system does
// not produce on demand or to record what the user is told; the defaults are the system's own.
struct LaunchCalls {
  NoticeCall notify = TellUser;
  std::function<BOOL(LPVOID*, HANDLE, BOOL)> createEnvironmentBlock = CreateUserEnvironmentBlock;
  std::function<BOOL(HANDLE, LPCWSTR, LPWSTR, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES, BOOL, DWORD,
                     LPVOID, LPCWSTR, LPSTARTUPINFOW, LPPROCESS_INFORMATION)>
      createProcessAsUser = CreateProcessAsUserW;
  std::function<BOOL(HANDLE, DWORD, LPCWSTR, LPWSTR, DWORD, LPVOID, LPCWSTR, LPSTARTUPINFOW,
                     LPPROCESS_INFORMATION)>
      createProcessWithToken = CreateProcessWithTokenW;
  // How long the new process has to show its window.
  ULONGLONG windowWaitMs = 30000;
};

// A top-level window titled "Velmora", else one of class "VelmoraNativeClass"; null if none.
[[nodiscard]] HWND FindApplicationWindow();

// True when a window of the application was already open (it is brought forward and nothing
// is started) or the started process showed its window in time. Every false has been told to
// the user in a notice captioned "Velmora".
[[nodiscard]] bool LaunchInstalledApp(const LaunchCalls& calls = {});

}  // namespace velmora

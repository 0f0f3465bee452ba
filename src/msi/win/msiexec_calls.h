// What the msiexec steps take from the system, gathered in one record so that a test can put
// a stand-in program, a failing system folder, a different wait or a recorded message box in
// their place. The defaults are the real system.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "base/win/notice.h"
#include "msi/msiexec_command.h"

namespace velmora {

struct MsiexecCalls {
  std::function<UINT(LPWSTR buffer, UINT size)> getSystemDirectory = GetSystemDirectoryW;
  // The program started for every run, formed from the system folder.
  std::function<std::wstring(const std::wstring& systemFolder)> msiexecPath = MsiexecPath;
  // Every wait for a started msiexec, with its limit.
  std::function<DWORD(HANDLE process, DWORD milliseconds)> waitForProcess = WaitForSingleObject;
  // What the user is told when Windows Installer cannot be run or the install failed.
  NoticeCall notify = TellUser;
};

// False when the system folder cannot be had whole (a result of 0, or 260 or more).
[[nodiscard]] bool GetSystemFolder(const MsiexecCalls& calls, std::wstring& folder);

}  // namespace velmora

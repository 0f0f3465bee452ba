// What the msiexec steps take from the system, gathered in one record so that a test can put
// a stand-in program, a failing system folder, a different wait or a recorded message box in
// their place. The defaults are the real system.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "msi/msiexec_command.h"

namespace velmora {

// An error message box with no owner window, captioned "Velmora Setup".
void ShowSetupError(const std::wstring& text);

struct MsiexecCalls {
  std::function<UINT(LPWSTR buffer, UINT size)> getSystemDirectory = GetSystemDirectoryW;
  // The program started for every run, formed from the system folder.
  std::function<std::wstring(const std::wstring& systemFolder)> msiexecPath = MsiexecPath;
  // Every wait for a started msiexec, with its limit.
  std::function<DWORD(HANDLE process, DWORD milliseconds)> waitForProcess = WaitForSingleObject;
  std::function<void(const std::wstring& text)> showError = ShowSetupError;
};

// False when the system folder cannot be had whole (a result of 0, or 260 or more).
[[nodiscard]] bool GetSystemFolder(const MsiexecCalls& calls, std::wstring& folder);

}  // namespace velmora

// Starting a program as the user signed in to the desktop rather than as the elevated setup
// account: with the shell's token and that user's environment, first as that user and then
// through the token API.
#pragma once

#include <windows.h>

#include <string>

#include "launch/win/launch_installed_app.h"

namespace velmora {

// What every attempt starts: the same path, command line and folder, and the same startup and
// process records. The process record is filled when a start succeeded.
struct ProcessStart {
  std::wstring exePath;
  std::wstring commandLine;
  std::wstring folder;
  STARTUPINFOW startup = {};
  PROCESS_INFORMATION process = {};
};

// Starts with the signed-in user's token (GetShellUserToken's). False when both attempts
// failed; the log names the subject ("Velmora launched ...") and each failed call with its error.
[[nodiscard]] bool StartAsShellUser(const char* subject, const LaunchCalls& calls, HANDLE token,
                                    ProcessStart& start);

}  // namespace velmora

// Starts msiexec with a prepared command line, waits for it within its time limit and turns
// the way it ended into one exit code. The install and the uninstall run it the same way and
// differ only in their log lines.
#pragma once

#include <windows.h>

#include <string>

#include "msi/win/msiexec_calls.h"

namespace velmora {

// The log lines of one kind of run, as LogMessage formats.
struct MsiexecLogTexts {
  const char* starting;     // %ls: the command line; nullptr logs no start line
  const char* startFailed;  // %lu: the system error code
  const char* timedOut;     // %lu: the limit in seconds
  const char* exitCode;     // %lu: msiexec's exit code
};

inline constexpr MsiexecLogTexts kInstallerLogTexts = {
    "Starting Windows Installer: %ls", "CreateProcessW(msiexec) failed: %lu.",
    "Windows Installer timed out after %lu seconds.", "Windows Installer exit code: %lu."};

// The exit code of the run, kMsiexecNoExitCode when msiexec did not start, or kMsiexecTimedOut
// when it ran out of time; one that ran out of time is ended with exit code 1. The child runs in
// `workingFolder` with this process's environment and inherits no handles. Always logs.
[[nodiscard]] DWORD RunMsiexec(const std::wstring& msiexecPath, const std::wstring& workingFolder,
                               const std::wstring& commandLine, const MsiexecCalls& calls = {},
                               const MsiexecLogTexts& texts = kInstallerLogTexts);

}  // namespace velmora

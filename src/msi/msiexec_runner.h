// Starts msiexec with a prepared command line, waits for it within its time limit and turns
// the way it ended into one exit code. The start and wait are shared with the uninstall,
// which writes log lines of its own around them.
#pragma once

#include <windows.h>

#include <string>

#include "app/scoped_handle.h"
#include "msi/msiexec_host.h"

namespace velmora {

struct MsiexecProcess {
  ScopedHandle process;
  ScopedHandle thread;
};

// The child runs in `workingFolder` with this process's environment and inherits no handles.
// On failure `startError` holds the system error code.
[[nodiscard]] bool StartMsiexec(const std::wstring& msiexecPath, const std::wstring& workingFolder,
                                const std::wstring& commandLine, MsiexecProcess& started, DWORD& startError);

// False when msiexec was still running at the time limit.
[[nodiscard]] bool AwaitMsiexec(const MsiexecProcess& running, const MsiexecHost& host);

// Ends a msiexec that ran out of time: exit code 1, a short wait, both handles closed.
void AbandonMsiexec(MsiexecProcess& running, const MsiexecHost& host);

// The exit code (1 when it cannot be read); closes the thread handle, then the process handle.
DWORD CollectMsiexecExitCode(MsiexecProcess& ended);

// The exit code of the run, or kMsiexecNoExitCode when msiexec did not start or ran out of
// time. Always logs.
DWORD RunMsiexec(const std::wstring& msiexecPath, const std::wstring& workingFolder,
                 const std::wstring& commandLine, const MsiexecHost& host = MsiexecHost());

}  // namespace velmora

// Ends every running copy of the application by force before msiexec runs or the installed
// application is launched, so neither meets a copy that is already running.
#pragma once

#include <windows.h>

namespace velmora {

// Never fails from the caller's point of view: a copy that cannot be opened is left alone,
// and nothing is reported to the user. The calling process is never stopped, whatever its
// own file name.
void StopRunningCopies();

// One process of the snapshot: opened, and terminated only when the opened process's image is
// still a file named Velmora.exe. True when it was told to end (its end is awaited, not
// examined); false, with nothing logged, when it could not be opened or is another program.
// The caller keeps its own process out.
[[nodiscard]] bool StopRunningCopy(DWORD processId);

}  // namespace velmora

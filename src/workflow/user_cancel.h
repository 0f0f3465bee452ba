// The end of a run the user cancelled while a download ran: the staged file goes, the log says
// who stopped the run, and the window closes with the cancelled outcome. Nothing installed is
// touched, because cancelling is withdrawn before Windows Installer starts.
#pragma once

#include <string>

#include "workflow/worker_calls.h"

namespace velmora {

// download names what was stopped in the log line ("Manifest download", "Installer download").
void EndCancelledRun(const WorkerCalls& calls, const std::wstring& stagedFile, const char* download);

}  // namespace velmora

// Ends every running copy of the application by force before msiexec runs or the installed
// application is launched, so neither meets a copy that is already running.
#pragma once

namespace velmora {

// Never fails from the caller's point of view: a copy that cannot be opened is left alone,
// and nothing is reported to the user. The calling process is never stopped, whatever its
// own file name.
void StopRunningCopies();

}  // namespace velmora

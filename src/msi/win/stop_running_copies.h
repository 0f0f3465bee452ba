// Ends the installed product's running copies before msiexec runs or the installed application
// is launched, so neither meets a copy that is already running. Each copy is first asked to
// close, as the system's Restart Manager would ask it, so that it can save the user's work;
// only a copy still running after a bounded wait is ended by force.
#pragma once

#include <windows.h>

namespace velmora {

// How long the copies that were asked to close get to save and exit, all together.
inline constexpr DWORD kPoliteCloseWaitMilliseconds = 10000;

// Never fails from the caller's point of view: a copy that cannot be opened is left alone,
// and nothing is reported to the user. Only processes whose image is the Velmora.exe of the
// install folder that the product record names are touched: a Velmora.exe anywhere else, and
// the calling process whatever its own file name, are never stopped.
void StopRunningCopies();

}  // namespace velmora

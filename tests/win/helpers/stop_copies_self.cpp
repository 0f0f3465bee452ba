// Calls StopRunningCopies from a process of its own; the tests copy it to a file named
// Velmora.exe. It returns 7 when the call came back, which a copy stopped by force (exit
// code 0) never does.
#include "msi/win/stop_running_copies.h"

int wmain() {
  velmora::StopRunningCopies();
  return 7;
}

// One whole setup run on the worker thread: manifest, decision, package, install, and exactly
// one final report through the setup state.
#pragma once

#include "workflow/worker_calls.h"

namespace velmora {

void RunSetup(const WorkerCalls& calls);

}  // namespace velmora

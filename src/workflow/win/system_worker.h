// The setup run on the real machine: the worker thread's function and the calls it wires.
#pragma once

#include "workflow/worker_calls.h"

namespace velmora {

// The worker thread's function: RunSetup on the real machine.
void Worker();

// The real downloaders, registry, integrity checks and install strategy, with the profile's
// keys.
WorkerCalls SystemWorkerCalls();

}  // namespace velmora

// The setup run on the real machine: the worker thread's function and the platform it wires.
#pragma once

#include "workflow/worker_platform.h"

namespace velmora {

// The worker thread's function: RunSetup on the real machine.
void Worker();

// The real downloaders, registry, integrity checks and install strategy.
WorkerPlatform SystemWorkerPlatform();

}  // namespace velmora

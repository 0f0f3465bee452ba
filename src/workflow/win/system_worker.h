// The setup run on the real machine: the worker thread's function and the calls it wires.
#pragma once

#include <string>
#include <vector>

#include "profile/vendor_profile.h"
#include "workflow/worker_calls.h"

namespace velmora {

// The worker thread's function: RunSetup on the real machine.
void Worker();

// The real downloaders, registry, integrity checks and install strategy; the package's
// publisher is checked against publisherKeys, and not at all when there are none. Tests pass
// other keys; the program uses the profile's.
WorkerCalls SystemWorkerCalls(const std::vector<std::string>& publisherKeys = PackagePublisherKeys());

}  // namespace velmora

#include "workflow/worker.h"

#include "workflow/install_execution.h"
#include "workflow/manifest_acquisition.h"

namespace velmora {

void RunSetup(const WorkerCalls& calls) {
  InstallerManifest manifest;
  RunFolder folder;
  if (AcquireManifest(calls, manifest, folder)) InstallOffered(calls, manifest, folder.path);
}

}  // namespace velmora

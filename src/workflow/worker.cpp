#include "workflow/worker.h"

#include "workflow/install_execution.h"
#include "workflow/manifest_acquisition.h"

namespace velmora {

void RunSetup(const WorkerPlatform& platform) {
  InstallerManifest manifest;
  RunFolder folder;
  if (AcquireManifest(platform, manifest, folder)) InstallOffered(platform, manifest, folder.path);
}

}  // namespace velmora

#include "workflow/worker.h"

#include "workflow/install_execution.h"
#include "workflow/manifest_acquisition.h"

namespace velmora {

void RunSetup(const WorkerPlatform& platform) {
  InstallerManifest manifest;
  std::wstring tempFolder;
  if (AcquireManifest(platform, manifest, tempFolder)) InstallOffered(platform, manifest, tempFolder);
}

}  // namespace velmora

// The first half of a setup run: find the temporary folder and obtain a valid manifest,
// downloaded over pinned HTTPS or built in.
#pragma once

#include <string>

#include "workflow/installer_manifest.h"
#include "workflow/worker_platform.h"

namespace velmora {

constexpr int kManifestAttempts = 3;
constexpr unsigned long kRetryPauseMilliseconds = 600;

// True with the manifest to use and the temporary folder; false when the run has already
// ended through FailSetup.
bool AcquireManifest(const WorkerPlatform& platform, InstallerManifest& manifest,
                     std::wstring& tempFolder);

}  // namespace velmora

// The first half of a setup run: make the run's private working folder and obtain a valid
// manifest, downloaded over pinned HTTPS or built in.
#pragma once

#include <string>

#include "workflow/installer_manifest.h"
#include "workflow/worker_calls.h"

namespace velmora {

constexpr int kManifestAttempts = 3;
constexpr unsigned long kRetryPauseMilliseconds = 600;

// The folder every file of one run lives in, held for the whole run.
struct RunFolder {
  std::wstring path;  // ends with its separator
  HeldFile hold;
};

// True with the manifest to use and the run's folder; false when the run has already ended
// through FailSetup.
[[nodiscard]] bool AcquireManifest(const WorkerCalls& calls, InstallerManifest& manifest, RunFolder& folder);

}  // namespace velmora

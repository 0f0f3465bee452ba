// The second half of a setup run: decide what the installed build needs, fetch and verify the
// package, run the install strategy, and make the run's one final report.
#pragma once

#include <string>

#include "product/version.h"
#include "workflow/installer_manifest.h"
#include "workflow/worker_calls.h"

namespace velmora {

constexpr int kPackageHttpsAttempts = 2;
constexpr std::uint64_t kPackageMaxBytes = 536870912;

struct InstallDecisionResult {
  std::wstring installedVersion;  // empty when the product record has none
  InstalledBuildVerdict verdict = InstalledBuildVerdict::FreshInstall;
  bool removeFirst = false;
  bool exeMatches = false;
};

// Classifies the installed build against the manifest, logs it and stores SetupOperation.
[[nodiscard]] InstallDecisionResult InstallDecision(const WorkerCalls& calls,
                                                    const InstallerManifest& manifest);

// Runs the decision and whatever it calls for, ending with exactly one final report. A repair
// of the installed version takes its package from the package cache when the cache keeps the one
// the manifest offers; a run that installs keeps its package there.
void InstallOffered(const WorkerCalls& calls, const InstallerManifest& manifest,
                    const std::wstring& runFolder);

}  // namespace velmora

#include "workflow/manifest_acquisition.h"

#include "base/bootstrap_log.h"
#include "base/setup_state.h"
#include "profile/vendor_profile.h"
#include "workflow/download_failure_reason.h"
#include "workflow/user_cancel.h"
#include "base/user_texts.h"

namespace velmora {
namespace {

// Up to three pinned downloads of the manifest; true with its text. A cancel by the user ends
// the attempts; the caller tells that apart from a failure.
bool DownloadManifestText(const WorkerCalls& calls, const std::wstring& path, std::string& text) {
  std::string error;
  for (int attempt = 1; attempt <= kManifestAttempts; ++attempt) {
    if (attempt > 1) calls.sleep(kRetryPauseMilliseconds);
    if (CancelRequested()) return false;
    error.clear();
    if (calls.httpsDownload(DefaultManifestUrl(), path, kManifestMaxBytes, DownloadProgress(), &error)) {
      if (calls.readManifestFile(path, text)) {
        calls.deleteFile(path);
        return true;
      }
      error = "Could not read the installer manifest.";
    } else if (error.empty()) {
      error = "Could not reach the update server.";
    }
    if (CancelRequested()) return false;  // stopped by the user, not failed
    LogMessage("Manifest download attempt %d failed: %s.", attempt, WithoutFinalStop(error).c_str());
  }
  return false;
}

}  // namespace

bool AcquireManifest(const WorkerCalls& calls, InstallerManifest& manifest, RunFolder& folder) {
  SetStatus(texts::kCheckingStatus);
  const unsigned long pid = calls.processId();
  LogMessage("Setup started (PID %lu).", pid);
  calls.sweepEarlierRuns();
  folder.hold = calls.createRunFolder(folder.path);
  if (!folder.hold) {
    FailSetup(FailureCause::Setup, texts::kNoTemporaryFolder);
    return false;
  }
  const std::wstring manifestPath =
      folder.path + L"VelmoraInstallerManifest-" + std::to_wstring(pid) + L".json";

  bool chosen = false;
  std::string text;
  bool downloaded = false;
  if (ForceFallbackManifest) {
    LogMessage("Manifest download skipped by diagnostic fallback flag.");
  } else {
    OfferCancel();
    downloaded = DownloadManifestText(calls, manifestPath, text);
    if (!WithdrawCancel()) {
      EndCancelledRun(calls, manifestPath, "Manifest download");
      return false;
    }
  }
  if (downloaded) {
    manifest = ParseManifest(text);
    chosen = IsValidManifest(manifest);
    if (!chosen) {
      LogMessage("Installer manifest is invalid. version='%s' url='%s'.", manifest.productVersion.c_str(),
                 manifest.packageUrl.c_str());
    }
  }
  if (!chosen) {
    LogMessage("Using built-in installer manifest fallback.");
    manifest = BuiltInManifest();
  }
  if (!IsValidManifest(manifest)) {
    LogMessage("Installer metadata is invalid. version='%s' url='%s'.", manifest.productVersion.c_str(),
               manifest.packageUrl.c_str());
    FailSetup(FailureCause::Setup, texts::kManifestInvalid);
    return false;
  }
  LogMessage("Manifest version=%s url=%s sha256=%s fallback=%d.", manifest.productVersion.c_str(),
             manifest.packageUrl.c_str(), manifest.packageSha256.c_str(), manifest.fromFallback ? 1 : 0);
  return true;
}

}  // namespace velmora

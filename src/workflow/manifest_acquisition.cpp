#include "workflow/manifest_acquisition.h"

#include "base/bootstrap_log.h"
#include "base/setup_state.h"
#include "base/user_texts.h"
#include "profile/vendor_profile.h"
#include "net/text_encoding.h"
#include "workflow/download_failure_reason.h"
#include "workflow/signed_manifest.h"
#include "workflow/user_cancel.h"

namespace velmora {
namespace {

// Where the profile names signing keys: the manifest's detached signature, fetched by the same
// pinned downloader under the same rules, and its expiry. A host that holds the server's key
// but not a signing key gets nothing past this. True when the text may be used.
bool IsSignedManifestText(const WorkerCalls& calls, const std::wstring& manifestPath, const std::string& text,
                          std::string& error) {
  const std::wstring path = manifestPath + WidenAscii(kManifestSignatureSuffix);
  std::string downloadError;
  if (!calls.httpsDownload(DefaultManifestUrl() + kManifestSignatureSuffix, path, kManifestSignatureMaxBytes,
                           DownloadProgress(), &downloadError)) {
    error = "Could not download the manifest signature: " +
            (downloadError.empty() ? std::string("no answer from the update server") : downloadError);
    return false;
  }
  std::string signature;
  const bool read = calls.readManifestFile(path, signature);
  calls.deleteFile(path);
  if (!read) {
    error = "Could not read the manifest signature";
    return false;
  }
  int slot = 0;
  std::string expires;
  if (!VerifyManifestSignature(text, signature, calls.manifestSigningKeys, calls.verifySignature, slot,
                               error) ||
      !IsManifestUnexpired(text, calls.utcNow(), expires, error)) {
    return false;
  }
  LogMessage("Manifest signature verified with signing key %d; expires=%s.", slot,
             expires.empty() ? "never" : expires.c_str());
  return true;
}

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
        if (calls.manifestSigningKeys.empty() || IsSignedManifestText(calls, path, text, error)) return true;
      } else {
        error = "Could not read the installer manifest.";
      }
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

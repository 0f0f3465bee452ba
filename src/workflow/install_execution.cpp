#include "workflow/install_execution.h"

#include "base/bootstrap_log.h"
#include "base/setup_state.h"
#include "msi/msiexec_command.h"
#include "net/text_encoding.h"
#include "workflow/download_failure_reason.h"
#include "workflow/manifest_acquisition.h"
#include "workflow/package_cache.h"
#include "workflow/user_cancel.h"
#include "base/user_texts.h"

namespace velmora {
namespace {

std::wstring ReadValue(const WorkerCalls& calls, const wchar_t* name) {
  std::wstring value;
  return calls.readInstallerValue(name, &value) ? value : std::wstring();
}

Operation OperationFor(InstalledBuildVerdict verdict) {
  switch (verdict) {
    case InstalledBuildVerdict::Current:
      return Operation::UpToDate;
    case InstalledBuildVerdict::CleanReinstall:
    case InstalledBuildVerdict::SameVersionReinstall:
      return Operation::Repair;
    case InstalledBuildVerdict::Update:
      return Operation::Update;
    case InstalledBuildVerdict::FreshInstall:
      break;
  }
  return Operation::Install;
}

// Two pinned attempts sharing one progress reporter, then the system downloader. True with
// the package at path; false with the reason for the message in reason, or once the user
// cancelled. Reports nothing final itself: the caller first learns whether a cancel came in
// meanwhile.
bool DownloadPackage(const WorkerCalls& calls, const InstallerManifest& manifest,
                     const std::wstring& offeredVersion, const std::wstring& path, std::string& reason) {
  int lastPercent = -1;
  std::vector<std::string> pinnedErrors;
  for (int attempt = 1; attempt <= kPackageHttpsAttempts; ++attempt) {
    if (attempt > 1) calls.sleep(kRetryPauseMilliseconds);
    if (CancelRequested()) return false;
    std::string error;
    if (calls.httpsDownload(manifest.packageUrl, path, kPackageMaxBytes,
                            MakeDownloadProgressReporter(lastPercent, offeredVersion), &error)) {
      return true;
    }
    if (CancelRequested()) return false;  // stopped by the user, not failed
    LogMessage("Installer download attempt %d failed: %s.", attempt, WithoutFinalStop(error).c_str());
    pinnedErrors.push_back(error);
    calls.deleteFile(path);
  }

  SetStatus(texts::kSystemDownloadStatus);
  std::string systemError;
  if (calls.systemDownload(manifest.packageUrl, path, &systemError)) {
    LogMessage("Windows downloader completed the installer download.");
    PostProgress(100);
    return true;
  }
  if (CancelRequested()) return false;
  LogMessage("Windows downloader failed: %s.", WithoutFinalStop(systemError).c_str());
  reason = DownloadFailureReason(pinnedErrors, systemError);
  return false;
}

// The download with the user's cancel offered while it runs. True with the package at path;
// false once the run has ended, cancelled or failed with the download message.
bool FetchPackage(const WorkerCalls& calls, const InstallerManifest& manifest,
                  const std::wstring& offeredVersion, const std::wstring& path) {
  OfferCancel();
  std::string reason;
  const bool downloaded = DownloadPackage(calls, manifest, offeredVersion, path, reason);
  // From here on the user can no longer cancel: what follows ends in Windows Installer.
  if (!WithdrawCancel()) {
    EndCancelledRun(calls, path, "Installer download");
    return false;
  }
  if (downloaded) return true;
  LogMessage("Installer download failed: %s.", WithoutFinalStop(reason).c_str());
  calls.deleteFile(path);
  FailSetup(FailureCause::Download, texts::kDownloadFailed + WidenAscii(reason));
  return false;
}

// Locks the package, then checks the MSI signature, the manifest's digest byte for byte and,
// where the profile names the publisher's keys, the package's own signature. The lock is what
// makes the checks worth anything: held until msiexec is done, it keeps every other process
// from changing, renaming or replacing the file that was checked. Returns the lock; empty once
// the run has failed.
HeldFile LockAndVerifyPackage(const WorkerCalls& calls, const InstallerManifest& manifest,
                              const std::wstring& path) {
  HeldFile lock = calls.lockFile(path);
  if (!lock || !calls.isMsiPackage(path)) {
    lock.reset();  // the file cannot be deleted while it is held
    LogMessage("Downloaded file is not an MSI.");
    calls.deleteFile(path);
    FailSetup(FailureCause::PackageCheck, texts::kNotAnMsi);
    return nullptr;
  }
  std::string actual;
  if (!calls.computeFileSha256Hex(path, &actual) || actual != manifest.packageSha256) {
    lock.reset();
    LogMessage("Downloaded MSI hash mismatch. expected=%s actual=%s.", manifest.packageSha256.c_str(),
               actual.c_str());
    calls.deleteFile(path);
    FailSetup(FailureCause::PackageCheck, texts::kIntegrityFailed);
    return nullptr;
  }
  // The digest only says the package is the one the manifest names; whoever holds the download
  // host writes the manifest too. The signature says who made the package.
  if (!calls.packagePublisherKeys.empty()) {
    std::string signer;
    std::string reason;
    if (!calls.verifyPackagePublisher(path, calls.packagePublisherKeys, &signer, &reason)) {
      lock.reset();
      LogMessage("Downloaded MSI publisher check failed: %s.", reason.c_str());
      calls.deleteFile(path);
      FailSetup(FailureCause::PackageCheck, texts::kPublisherCheckFailed);
      return nullptr;
    }
    LogMessage("Downloaded MSI is signed by its publisher: %s.", signer.c_str());
  }
  return lock;
}

// A repair of the installed version needs no download when the cache keeps, unchanged, exactly
// the package that the manifest offers. Returns it held, with its path; empty otherwise.
HeldFile CachedPackageForRepair(const WorkerCalls& calls, const InstallerManifest& manifest,
                                const InstallDecisionResult& decision, const std::wstring& runFolder,
                                std::wstring& package) {
  if (decision.verdict != InstalledBuildVerdict::SameVersionReinstall) return nullptr;
  std::string sha256;
  HeldFile held = OpenCheckedCachedPackage(calls, runFolder, decision.installedVersion, package, sha256);
  if (!held) return nullptr;
  if (sha256 != manifest.packageSha256) {
    LogMessage("The cached package of Velmora %ls is not the one the manifest offers; downloading that one.",
               decision.installedVersion.c_str());
    return nullptr;
  }
  LogMessage("Repairing Velmora %ls with the cached package; nothing to download.",
             decision.installedVersion.c_str());
  return held;
}

}  // namespace

InstallDecisionResult InstallDecision(const WorkerCalls& calls, const InstallerManifest& manifest) {
  const std::wstring installed = ReadValue(calls, L"Version");
  const std::wstring productCode = ReadValue(calls, L"ProductCode");
  const std::wstring offered = WidenAscii(manifest.productVersion);
  // Evaluated whatever the verdict, because the log line reports it.
  const bool exeMatches = calls.installedExeMatchesSize(manifest.exeSize);
  const InstalledBuildClassification classification =
      ClassifyInstalledBuild(installed, productCode, offered, exeMatches);
  const InstallDecisionResult result{installed, classification.verdict, classification.removeFirst,
                                     exeMatches};
  LogMessage("Installed version=%ls expected_exe_size=%llu app_matches=%d.", installed.c_str(),
             static_cast<unsigned long long>(manifest.exeSize), result.exeMatches ? 1 : 0);

  if (result.verdict == InstalledBuildVerdict::Current) {
    LogMessage("Installed build is current; opening Velmora.");
    SetupOperation.exchange(Operation::UpToDate);
    return result;
  }
  SetupOperation.exchange(OperationFor(result.verdict));
  if (result.verdict == InstalledBuildVerdict::CleanReinstall) {
    LogMessage("Installed version is missing; cleaning the previous product before installation.");
  } else if (result.verdict == InstalledBuildVerdict::SameVersionReinstall) {
    LogMessage("Same version but installed EXE does not match; reinstalling.");
  }
  return result;
}

void InstallOffered(const WorkerCalls& calls, const InstallerManifest& manifest,
                    const std::wstring& runFolder) {
  const InstallDecisionResult decision = InstallDecision(calls, manifest);
  if (decision.verdict == InstalledBuildVerdict::Current) {
    FinishSetup(Outcome::UpToDate);
    return;
  }
  const std::wstring offered = WidenAscii(manifest.productVersion);
  std::wstring package;
  HeldFile lock = CachedPackageForRepair(calls, manifest, decision, runFolder, package);
  const bool fromCache = static_cast<bool>(lock);
  if (!fromCache) {
    SetStatus(FillIn(texts::kDownloadingStatus, {offered}));
    package = runFolder + L"Velmora-Setup-" + std::to_wstring(calls.processId()) + L".msi";
    calls.deleteFile(package);
    if (!FetchPackage(calls, manifest, offered, package)) return;
    lock = LockAndVerifyPackage(calls, manifest, package);
    if (!lock) return;
    LogMessage("Installer downloaded to %ls.", package.c_str());
    PostProgress(100);
    SetStatus(texts::kDownloadCompleteStatus);
  }

  HeldFile previousLock;
  const auto previousPackage = [&](std::wstring& path) {
    if (fromCache) {
      LogMessage("The cached package of Velmora %ls is the one that failed; it is not installed again.",
                 decision.installedVersion.c_str());
      return false;
    }
    std::string sha256;
    previousLock = OpenCheckedCachedPackage(calls, runFolder, decision.installedVersion, path, sha256);
    return static_cast<bool>(previousLock);
  };
  std::uint32_t lastExitCode = kMsiexecNoExitCode;
  const InstallResult result =
      calls.runInstallStrategy(package, runFolder, decision.removeFirst, {decision.installedVersion, offered},
                               previousPackage, lastExitCode);
  previousLock.reset();
  if (result == InstallResult::Installed && !fromCache)
    KeepInstalledPackage(calls, runFolder, package, manifest);
  lock.reset();
  if (!fromCache) calls.deleteFile(package);
  switch (result) {
    case InstallResult::Installed:
      SetStatus(texts::kInstallCompleteStatus);
      if (IsRestartRequiredCode(lastExitCode)) {
        // The new files may not all be in place before the restart.
        RestartRequired.exchange(true);
        LogMessage(
            "Windows Installer asked for a restart of the computer (exit code %lu) to finish the install.",
            static_cast<unsigned long>(lastExitCode));
      }
      FinishSetup(Outcome::Installed);
      return;
    case InstallResult::Restored:
      CloseSetup(Outcome::Restored, InstallFailureCause(lastExitCode));
      return;
    case InstallResult::Failed:
      break;
  }
  CloseSetup(Outcome::InstallFailed, InstallFailureCause(lastExitCode));
}

}  // namespace velmora

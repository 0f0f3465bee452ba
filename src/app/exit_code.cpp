#include "app/exit_code.h"

namespace velmora {
namespace {

int UnattendedFailureCode(FailureCause cause) {
  switch (cause) {
    case FailureCause::Download:
      return kExitDownloadFailed;
    case FailureCause::PackageCheck:
      return kExitPackageCheckFailed;
    case FailureCause::Installer:
      return kExitInstallerFailed;
    case FailureCause::InstallerCancelled:
      return kExitCancelled;
    case FailureCause::AnotherInstallRunning:
      return kExitAnotherInstallRunning;
    case FailureCause::None:
    case FailureCause::Setup:
      break;
  }
  return kExitSetupFailed;
}

}  // namespace

const std::vector<ExitCodeRow>& UnattendedExitCodes() {
  static const std::vector<ExitCodeRow> rows = {
      {kExitSuccess, L"Velmora was installed, updated or repaired, or was already up to date"},
      {kExitRestartRequired, L"installed; a restart of the computer is needed to finish"},
      {kExitCancelled, L"the installation was cancelled"},
      {kExitAnotherInstallRunning,
       L"another installation, or another copy of setup, is running; try again later"},
      {kExitDownloadFailed, L"the package could not be downloaded"},
      {kExitPackageCheckFailed, L"the downloaded package failed its check"},
      {kExitInstallerFailed, L"Windows Installer failed"},
      {kExitPreviousVersionRestored,
       L"the update failed; the version installed before was restored and works"},
      {kExitSetupFailed, L"setup could not do its work (no working folder, no valid manifest)"},
      {kExitInvalidParameter, L"a switch was not understood"},
  };
  return rows;
}

int ExitCodeFor(RunMode mode, const RunEnd& end) {
  // The user stopped a download: Windows Installer's own code for a cancel, whoever watches.
  if (end.outcome == Outcome::Cancelled) return kExitCancelled;
  const bool succeeded = end.outcome == Outcome::UpToDate || end.outcome == Outcome::Installed;
  if (!IsUnattended(mode)) return succeeded ? kExitSuccess : kExitFailed;
  if (end.outcome == Outcome::Restored) return kExitPreviousVersionRestored;
  if (!succeeded) return UnattendedFailureCode(end.cause);
  return end.outcome == Outcome::Installed && end.restartRequired ? kExitRestartRequired : kExitSuccess;
}

int SecondCopyExitCode(RunMode mode, bool handedOver) {
  if (IsUnattended(mode)) return kExitAnotherInstallRunning;
  return handedOver ? kExitSuccess : kExitFailed;
}

}  // namespace velmora

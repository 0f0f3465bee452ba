// The process exit code. Interactive runs keep 0 and 1; unattended runs give a deployment
// tool one code per way a run can end, taken from the system's own error codes so that the
// tools' default tables already read them right.
#pragma once

#include <vector>

#include "base/run_mode.h"
#include "base/setup_state.h"

namespace velmora {

constexpr int kExitSuccess = 0;
constexpr int kExitFailed = 1;                    // any failure of an interactive run
constexpr int kExitInvalidParameter = 87;         // ERROR_INVALID_PARAMETER: a switch not understood
constexpr int kExitCancelled = 1602;              // ERROR_INSTALL_USEREXIT
constexpr int kExitInstallerFailed = 1603;        // ERROR_INSTALL_FAILURE
constexpr int kExitAnotherInstallRunning = 1618;  // ERROR_INSTALL_ALREADY_RUNNING: retry later
constexpr int kExitDownloadFailed = 1619;         // ERROR_INSTALL_PACKAGE_OPEN_FAILED
constexpr int kExitPackageCheckFailed = 1620;     // ERROR_INSTALL_PACKAGE_INVALID
constexpr int kExitSetupFailed = 1627;            // ERROR_FUNCTION_FAILED
// ERROR_PRODUCT_VERSION: the offered version did not install; the one installed before is back.
constexpr int kExitPreviousVersionRestored = 1638;
constexpr int kExitRestartRequired = 3010;  // ERROR_SUCCESS_REBOOT_REQUIRED

struct ExitCodeRow {
  int code;
  const wchar_t* meaning;
};

// Every code an unattended run can end with, in the order of the help text.
const std::vector<ExitCodeRow>& UnattendedExitCodes();

// How a run's worker left it.
struct RunEnd {
  Outcome outcome = Outcome::Pending;
  FailureCause cause = FailureCause::None;
  bool restartRequired = false;
};

[[nodiscard]] int ExitCodeFor(RunMode mode, const RunEnd& end);

// A second copy ends at once: 0 when it handed over to the first copy's window; when it found
// none, or nobody watches (a deployment tool should retry, not count it installed), the
// failure code of its mode.
[[nodiscard]] int SecondCopyExitCode(RunMode mode, bool handedOver);

}  // namespace velmora

// The state the worker and the window share, and the operations through which the worker
// changes it. The worker never waits for the window: every notification is a posted message,
// and StatusLock is held only while a text is copied.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

namespace velmora {

using WindowHandle = void*;

enum class Operation : std::int32_t { None = 0, Install = 1, Update = 2, Repair = 3, UpToDate = 4 };
// Restored: the offered package did not install, but the version installed before was put back,
// so the product works although the run failed. Ends the run like InstallFailed.
enum class Outcome : std::int32_t {
  Pending = 0,
  UpToDate = 2,
  Installed = 3,
  InstallFailed = 4,
  Failed = 5,
  Restored = 6,
  Cancelled = 7,  // the user stopped a download; nothing installed was touched
};
// Why a run ended without installing: what an unattended run's exit code tells a deployment tool.
enum class FailureCause : std::int32_t {
  None = 0,
  Download = 1,               // the package could not be downloaded
  PackageCheck = 2,           // the package is no MSI or failed its digest
  Installer = 3,              // Windows Installer failed
  InstallerCancelled = 4,     // the install was cancelled
  AnotherInstallRunning = 5,  // Windows Installer was busy with another installation
  Setup = 6,                  // setup itself could not do its work (no folder, no manifest)
};

constexpr std::uint32_t kWmApp = 0x8000;
constexpr std::uint32_t WM_SETUP_STATUS = kWmApp + 1;
constexpr std::uint32_t WM_SETUP_PROGRESS = kWmApp + 2;
constexpr std::uint32_t WM_SETUP_CLOSE = kWmApp + 3;
constexpr std::uint32_t WM_SETUP_FINISH = kWmApp + 4;

extern std::wstring StatusText;
extern std::wstring ErrorText;
extern std::mutex StatusLock;
extern std::atomic<Operation> SetupOperation;
extern std::atomic<Outcome> SetupOutcome;
extern std::atomic<bool> SetupBusy;
extern std::atomic<FailureCause> SetupFailureCause;
// Windows Installer asked for a restart of the computer to finish (exit code 3010 or 1641).
extern std::atomic<bool> RestartRequired;
extern WindowHandle SetupWindowHandle;
extern std::int32_t ProgressPercent;
extern bool ForceFallbackManifest;

// Whether the user may cancel the run now. Cancelling is offered only while the manifest or the
// package downloads: before then there is nothing to stop, and once Windows Installer runs, its
// own window has the Cancel that leaves the product whole. The worker offers and withdraws; the
// window asks the user and requests. Each step is one atomic exchange, so a request that races
// the end of a download is either seen by the worker or refused to the window, never lost.
enum class CancelState : std::int32_t { NotOffered = 0, Offered = 1, Requested = 2 };
extern std::atomic<CancelState> SetupCancel;

// Worker: the download about to start may be cancelled. No effect once cancel was requested.
void OfferCancel();
// Worker: the download is over. False when the user asked to cancel meanwhile (the request stays).
[[nodiscard]] bool WithdrawCancel();
// Window: the user confirmed the cancel. False when the worker had already moved on.
[[nodiscard]] bool RequestCancel();
[[nodiscard]] bool CancelRequested();

// Posts a message to a window; PostMessageW in the Windows build (base/win/setup_post.cpp). The
// result is not used. Replaced at link time, not passed as a parameter: the native tests link
// tests/host/support/recorded_posts.cpp in its place, which records each post with the outcome
// and busy flag it was made under.
void PostSetupMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam);

void SetStatus(const std::wstring& text);
void PostProgress(int percent);
// Ends the run as Failed with the message the user is given afterwards.
void FailSetup(FailureCause cause, const std::wstring& message);
void FinishSetup(Outcome outcome);
// Ends the run without a message of the entry's; the cause is kept for the exit code.
void CloseSetup(Outcome outcome, FailureCause cause = FailureCause::None);

std::wstring CopyStatusText();
std::wstring CopyErrorText();

// Bytes done and bytes announced (0 when the server announced none).
using DownloadProgress = std::function<void(std::uint64_t, std::uint64_t)>;

// The download progress line, cut to 255 units so that it always fits the window's 256-unit
// buffer with its terminator, however long the offered version text is.
std::wstring FormatDownloadStatus(const std::wstring& version, int percent, std::uint64_t done,
                                  std::uint64_t total);

// Turns byte counts into at most one percentage and status line per whole percent. lastPercent
// outlives one download attempt, so a retry does not post a value again.
DownloadProgress MakeDownloadProgressReporter(int& lastPercent, const std::wstring& version);

}  // namespace velmora

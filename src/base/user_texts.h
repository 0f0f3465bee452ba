// Every text the user sees, by name: the window's title and status lines, the screens'
// headings, labels and button, the message boxes, the WebView2 dialogs and what a screen reader
// is told. A translation of the program is this one file. Log lines are not here: they are for
// support and stay where they are written. Each "%ls" stands for a value FillIn puts there (a
// version, a host), in the order its comment gives; the download line is a format of its own.
#pragma once

#include <initializer_list>
#include <string>

namespace velmora::texts {

// The caption of every window and message box the program shows; also the setup window's title.
inline constexpr wchar_t kSetupCaption[] = L"Velmora Setup";

// Progress screen.
inline constexpr wchar_t kProgressTitle[] = L"Setting up Velmora";
inline constexpr wchar_t kProgressFooter[] = L"Please keep this window open.";
inline constexpr wchar_t kPreparingStatus[] = L"Preparing your installation...";
inline constexpr wchar_t kCheckingStatus[] = L"Checking for the latest Velmora installer...";
inline constexpr wchar_t kDownloadingStatus[] = L"Downloading Velmora %ls...";  // the offered version
// swprintf format: the offered version, the whole percent, megabytes done and announced.
inline constexpr wchar_t kDownloadProgressFormat[] = L"Downloading Velmora %ls... %d%%  (%.1f of %.1f MB)";
inline constexpr wchar_t kSystemDownloadStatus[] = L"Downloading with Windows network settings...";
inline constexpr wchar_t kDownloadCompleteStatus[] = L"Download complete. Starting the Velmora installer...";
inline constexpr wchar_t kStartingInstallerStatus[] = L"Starting the Windows installer...";
inline constexpr wchar_t kCleaningUpStatus[] = L"Cleaning up the previous Velmora copy...";
inline constexpr wchar_t kInstallingStatus[] = L"Installing the latest Velmora...";
inline constexpr wchar_t kRestoringStatus[] = L"Restoring Velmora %ls...";  // the version installed before
inline constexpr wchar_t kInstallCompleteStatus[] = L"Install complete.";

// Finish screen.
inline constexpr wchar_t kInstalledHeading[] = L"Velmora was installed successfully.";
inline constexpr wchar_t kUpdatedHeading[] = L"Velmora was updated successfully.";
inline constexpr wchar_t kRepairedHeading[] = L"Velmora was repaired successfully.";
inline constexpr wchar_t kUpToDateHeading[] = L"Velmora is already up to date.";
inline constexpr wchar_t kCompletedHeading[] = L"Velmora Setup completed successfully.";
inline constexpr wchar_t kFinishBody[] = L"Choose what happens when you click Finish.";
// The body instead when no signed-in user can be acted for: neither option is offered.
inline constexpr wchar_t kFinishBodyWithoutActions[] = L"Open Velmora from the Start menu.";
// Put before the body on a line of its own when Windows Installer asked for a restart.
inline constexpr wchar_t kRestartRequiredLine[] = L"Restart your computer to finish installing Velmora.";
// Appended to the body on a line of its own.
inline constexpr wchar_t kWebView2MissingWarning[] =
    L"Microsoft Edge WebView2 Runtime is not installed. Web sign-in may be unavailable until it is "
    L"installed.";
inline constexpr wchar_t kLaunchOptionLabel[] = L"Launch Velmora";
inline constexpr wchar_t kShortcutOptionLabel[] = L"Create a desktop shortcut";
inline constexpr wchar_t kFinishButton[] = L"Finish";
inline constexpr wchar_t kOpeningButton[] = L"Opening...";
inline constexpr wchar_t kFinishingButton[] = L"Finishing...";

// What a screen reader is told beyond the screens' own texts: the default actions of a check
// box and of the button.
inline constexpr wchar_t kCheckAction[] = L"Check";
inline constexpr wchar_t kUncheckAction[] = L"Uncheck";
inline constexpr wchar_t kPressAction[] = L"Press";
// The progress bar's value: the whole percent.
inline constexpr wchar_t kProgressValue[] = L"%ls%";

// Questions and messages.
inline constexpr wchar_t kCancelQuestion[] = L"Cancel Velmora setup?";
inline constexpr wchar_t kCouldNotStart[] = L"Velmora Setup could not start.";
inline constexpr wchar_t kCouldNotCreateWindow[] = L"Velmora Setup could not create its window.";
inline constexpr wchar_t kAlreadyRunning[] = L"Velmora Setup is already running.";
inline constexpr wchar_t kCouldNotComplete[] =
    L"Velmora Setup could not complete. Download the latest installer from %ls.";  // the message host
inline constexpr wchar_t kNoTemporaryFolder[] = L"Windows could not provide a temporary folder.";
inline constexpr wchar_t kManifestInvalid[] = L"The installer manifest is invalid.";
// Followed by the reason the download failed, as the log has it.
inline constexpr wchar_t kDownloadFailed[] =
    L"Could not download the Velmora installer. If you use a proxy, VPN, or antivirus web shield, allow "
    L"Velmora Setup and try again. ";
inline constexpr wchar_t kNotAnMsi[] = L"The downloaded file is not a valid Velmora MSI installer.";
inline constexpr wchar_t kIntegrityFailed[] = L"The downloaded installer failed its integrity check.";
inline constexpr wchar_t kPublisherCheckFailed[] =
    L"The downloaded installer is not signed by its publisher.";
inline constexpr wchar_t kAnotherInstallRunning[] =
    L"Another installation is running on this computer. Wait until it has finished, then run Velmora Setup "
    L"again.";
inline constexpr wchar_t kRepairFailed[] =
    L"Velmora could not be installed after repairing the previous copy. Run Velmora Setup again, or download "
    L"the latest installer from %ls.";  // the message host
// The message host.
inline constexpr wchar_t kInstallerTimedOut[] =
    L"Windows Installer did not finish in time, so Velmora Setup stopped it and made no further changes. Run "
    L"Velmora Setup again when the computer is less busy, or download the latest installer from %ls.";
// The offered version, the version installed before, the message host.
inline constexpr wchar_t kUpdateRestored[] =
    L"The update to Velmora %ls failed. Velmora %ls, the version installed before, was restored and works as "
    L"before. Run Velmora Setup again later, or download the latest installer from %ls.";
inline constexpr wchar_t kInstallerNotFound[] = L"Windows Installer could not be found.";
inline constexpr wchar_t kShortcutFailed[] =
    L"Velmora was installed successfully, but the desktop shortcut could not be created.\n\nTry opening "
    L"Velmora from the Start menu.";
inline constexpr wchar_t kShortcutDescription[] = L"Launch Velmora";

// Launching the installed application; these boxes carry the application's name as caption.
inline constexpr wchar_t kLaunchCaption[] = L"Velmora";
inline constexpr wchar_t kMissingInstallFolder[] =
    L"Velmora is installed, but its install folder could not be found.";
inline constexpr wchar_t kMissingExecutable[] = L"Velmora is installed, but Velmora.exe could not be found.";
inline constexpr wchar_t kCouldNotStartApp[] =
    L"Velmora was installed successfully, but Windows could not start it.\n\nTry opening it from the Start "
    L"menu.";
// Followed by the log file's path.
inline constexpr wchar_t kCouldNotOpenApp[] =
    L"Velmora was installed successfully, but it could not open automatically.\n\nTry opening it from the "
    L"Start menu.\n\nDiagnostic log:\n";

// The WebView2 runtime's dialogs: task dialogs with their buttons, and the message boxes that
// stand in for them where task dialogs are missing.
inline constexpr wchar_t kWebView2MissingTitle[] = L"Microsoft Edge WebView2 Runtime is missing";
inline constexpr wchar_t kWebView2MissingText[] =
    L"Velmora uses the Microsoft Edge WebView2 Runtime for secure browser sign-in and web pages.\n\nInstall "
    L"it from Microsoft, then click Recheck. Velmora can still open without it, but web sign-in may not "
    L"work.";
inline constexpr wchar_t kWebView2InstallButton[] = L"Install";
inline constexpr wchar_t kWebView2NotNowButton[] = L"Not now";
inline constexpr wchar_t kWebView2MissingQuestion[] =
    L"Microsoft Edge WebView2 Runtime is missing.\n\nOpen the official Microsoft download page now?";
inline constexpr wchar_t kWebView2RecheckTitle[] = L"Install WebView2, then recheck";
inline constexpr wchar_t kWebView2RecheckText[] = L"After the Microsoft installer finishes, click Recheck.";
inline constexpr wchar_t kWebView2RecheckButton[] = L"Recheck";
inline constexpr wchar_t kWebView2ContinueButton[] = L"Continue without";
inline constexpr wchar_t kWebView2RecheckQuestion[] =
    L"Click Yes after installing WebView2 to recheck, or No to continue without it.";
inline constexpr wchar_t kWebView2StillMissing[] =
    L"Microsoft Edge WebView2 Runtime is still missing.\n\nVelmora can open, but web sign-in may not work "
    L"until "
    L"it is installed.";

}  // namespace velmora::texts

namespace velmora {

// The text with its "%ls" replaced by the values, in order; a placeholder without a value stays
// as it is, and a value without a placeholder is left out.
std::wstring FillIn(const wchar_t* text, std::initializer_list<std::wstring> values);

}  // namespace velmora

// The words the two screens show, chosen from the setup state at drawing time.
#pragma once

#include <string>

#include "base/setup_state.h"

namespace velmora {

inline constexpr wchar_t kProgressTitle[] = L"Setting up Velmora";
inline constexpr wchar_t kProgressFooter[] = L"Please keep this window open.";
inline constexpr wchar_t kLaunchOptionLabel[] = L"Launch Velmora";
inline constexpr wchar_t kShortcutOptionLabel[] = L"Create a desktop shortcut";

// The worker's status sentence, or the placeholder while it has said nothing yet.
std::wstring ProgressStatusLine(const std::wstring& statusText);

// The finish heading for the operation the worker chose; unknown values get a neutral one.
const wchar_t* FinishHeading(Operation operation);

inline constexpr wchar_t kRestartRequiredLine[] = L"Restart your computer to finish installing Velmora.";

// The finish body: first the restart line when Windows Installer asked for a restart, then the
// prompt, then the WebView2 warning on a line of its own when the runtime is missing.
std::wstring FinishBody(bool webView2Missing, bool restartRequired);

const wchar_t* FinishButtonLabel(bool finishing, bool launchSelected);

}  // namespace velmora

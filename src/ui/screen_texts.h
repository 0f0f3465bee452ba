// The words the two screens show, chosen from the setup state at drawing time; the words
// themselves are in the table of user texts.
#pragma once

#include <string>

#include "base/user_texts.h"
#include "base/setup_state.h"

namespace velmora {

using texts::kLaunchOptionLabel;
using texts::kProgressFooter;
using texts::kProgressTitle;
using texts::kShortcutOptionLabel;

// The worker's status sentence, or the placeholder while it has said nothing yet.
std::wstring ProgressStatusLine(const std::wstring& statusText);

// The finish heading for the operation the worker chose; unknown values get a neutral one.
const wchar_t* FinishHeading(Operation operation);

// The finish body: first the restart line when Windows Installer asked for a restart, then the
// prompt, then the WebView2 warning on a line of its own when the runtime is missing. Without
// the launch and shortcut options the prompt points the user to the Start menu instead.
std::wstring FinishBody(bool webView2Missing, bool restartRequired, bool actionsOffered);

const wchar_t* FinishButtonLabel(bool finishing, bool launchSelected);

}  // namespace velmora

// Opening a web page in the signed-in user's default browser, as that user: a browser started
// by the elevated setup would run as administrator.
#pragma once

#include <string>

#include "launch/win/launch_installed_app.h"

namespace velmora {

// The system's handler of web addresses, as the program started for a page.
std::wstring PageOpenerPath(const std::wstring& systemFolder);
std::wstring PageOpenerCommandLine(const std::wstring& systemFolder, const wchar_t* url);

// Hands the address to the system's handler started with the shell user's token (the calls as
// the launch's). False, with a log line, when that cannot be done: the page is then not opened
// at all rather than opened as administrator.
[[nodiscard]] bool OpenPageAsShellUser(const wchar_t* url, const LaunchCalls& calls = {});

}  // namespace velmora

// The program's only diagnostic record: each line goes to the debugger output and is appended
// to %ProgramData%\Velmora\Setup\bootstrapper.log. Logging never fails visibly.
#pragma once

#include <string>

namespace velmora {

// Written in the Windows build by base/win/bootstrap_log.cpp. Replaced at link time, not passed
// as a parameter, because every layer logs: the native tests link
// tests/host/support/captured_log.cpp in its place, which keeps the formatted lines.
#if defined(__GNUC__)
__attribute__((format(printf, 1, 2)))
#endif
void LogMessage(const char* format, ...);

// The log file's path, creating its two folders on the way; empty when no path can be formed.
std::wstring GetLogFilePath();

// From now on every line is also appended to this file (a deployment tool's own log place),
// opened with the same checks against links as the log itself. Set before a second thread
// starts. False, and no copy is written, when the file cannot be opened that way.
[[nodiscard]] bool StartLogCopy(const std::wstring& path);

}  // namespace velmora

// The program's only diagnostic record: each line goes to the debugger output and is appended
// to %ProgramData%\Velmora\Setup\bootstrapper.log. Logging never fails visibly.
#pragma once

#include <string>

namespace velmora {

#if defined(__GNUC__)
__attribute__((format(printf, 1, 2)))
#endif
void LogMessage(const char* format, ...);

// The log file's path, creating its two folders on the way; empty when no path can be formed.
std::wstring GetLogFilePath();

}  // namespace velmora

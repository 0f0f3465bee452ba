#include "captured_log.h"

#include <cstdarg>

#include "base/bootstrap_log.h"
#include "base/log_line.h"

namespace velmora {

std::vector<std::string>& CapturedLog() {
  static std::vector<std::string> lines;
  return lines;
}

void LogMessage(const char* format, ...) {
  va_list args;
  va_start(args, format);
  CapturedLog().push_back(FormatLogMessage(format, args));
  va_end(args);
}

std::wstring GetLogFilePath() { return {}; }

}  // namespace velmora

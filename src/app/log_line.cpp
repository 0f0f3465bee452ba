#include "app/log_line.h"

#include <cstdio>

namespace velmora {

std::string FormatLogMessage(const char* format, va_list args) {
  char buffer[kLogMessageBufferBytes] = {};
  std::vsnprintf(buffer, sizeof buffer, format, args);
  return buffer;
}

std::string FormatLogLine(const LocalTime& time, const std::string& message) {
  char buffer[kLogLineBufferBytes] = {};
  std::snprintf(buffer, sizeof buffer, "%04u-%02u-%02u %02u:%02u:%02u %s\n", time.year, time.month,
                time.day, time.hour, time.minute, time.second, message.c_str());
  return buffer;
}

}  // namespace velmora

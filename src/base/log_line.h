// The bootstrap log's line format, apart from where the line goes.
#pragma once

#include <cstdarg>
#include <string>

namespace velmora {

struct LocalTime {
  unsigned year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

constexpr std::size_t kLogMessageBufferBytes = 2048;
constexpr std::size_t kLogLineBufferBytes = 2304;

// printf-style formatting, cut at 2,047 bytes. Wide strings (%ls) and characters (%lc) are
// written as UTF-8, whatever the locale.
std::string FormatLogMessage(const char* format, va_list args);

// "YYYY-MM-DD hh:mm:ss message\n" with a bare line feed.
std::string FormatLogLine(const LocalTime& time, const std::string& message);

}  // namespace velmora

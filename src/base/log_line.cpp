#include "base/log_line.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

namespace velmora {
namespace {

constexpr std::uint32_t kReplacementCharacter = 0xFFFD;

void AppendUtf8(std::string& out, std::uint32_t c) {
  if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = kReplacementCharacter;
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// UTF-16 where wchar_t has 16 bits (Windows), code points where it has 32; a lone surrogate
// becomes U+FFFD.
std::string WideToUtf8(const wchar_t* text) {
  std::string out;
  for (const wchar_t* p = text; *p != L'\0'; ++p) {
    std::uint32_t c = static_cast<std::uint32_t>(*p);
    if (sizeof(wchar_t) == 2 && c >= 0xD800 && c <= 0xDBFF) {
      const std::uint32_t low = static_cast<std::uint32_t>(p[1]);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        ++p;
      }
    }
    AppendUtf8(out, c);
  }
  return out;
}

template <typename Value>
void AppendFormatted(std::string& out, const std::string& spec, Value value) {
  const int size = std::snprintf(nullptr, 0, spec.c_str(), value);
  if (size <= 0) return;
  std::vector<char> buffer(static_cast<std::size_t>(size) + 1);
  std::snprintf(buffer.data(), buffer.size(), spec.c_str(), value);
  out.append(buffer.data(), static_cast<std::size_t>(size));
}

}  // namespace

// Each conversion is formatted on its own: the runtime's own %ls goes through the C locale,
// which stops at the first character outside it and would cut a path under a Cyrillic or CJK
// user name short. Wide strings and characters are written as UTF-8 instead.
std::string FormatLogMessage(const char* format, va_list args) {
  std::string out;
  const char* p = format;
  while (*p != '\0') {
    if (*p != '%') {
      out += *p++;
      continue;
    }
    // The conversion is rebuilt as it is read, with a '*' width or precision replaced by its
    // argument, so that every later argument is still read from its own slot.
    std::string spec(1, *p++);
    while (*p != '\0' && std::strchr("-+ #0", *p) != nullptr) spec += *p++;
    if (*p == '*') {
      ++p;
      spec += std::to_string(va_arg(args, int));  // a negative width reads as the '-' flag
    }
    while (*p >= '0' && *p <= '9') spec += *p++;
    if (*p == '.') {
      ++p;
      if (*p == '*') {
        ++p;
        const int precision = va_arg(args, int);
        if (precision >= 0) spec += '.' + std::to_string(precision);  // negative: as if none
      } else {
        spec += '.';
        while (*p >= '0' && *p <= '9') spec += *p++;
      }
    }
    std::string length;
    while (*p != '\0' && std::strchr("hlLjzt", *p) != nullptr) length += *p++;
    if (*p == '\0') break;
    const char conversion = *p++;
    // The same spec without its length, for a wide argument passed on as UTF-8.
    const std::string narrowSpec = spec + 's';
    spec += length + conversion;
    switch (conversion) {
      case '%':
        out += '%';
        break;
      case 'd':
      case 'i':
        if (length == "ll" || length == "j") {
          AppendFormatted(out, spec, va_arg(args, long long));
        } else if (length == "l") {
          AppendFormatted(out, spec, va_arg(args, long));
        } else if (length == "z" || length == "t") {
          AppendFormatted(out, spec, va_arg(args, std::ptrdiff_t));
        } else {
          AppendFormatted(out, spec, va_arg(args, int));
        }
        break;
      case 'u':
      case 'x':
      case 'X':
      case 'o':
        if (length == "ll" || length == "j") {
          AppendFormatted(out, spec, va_arg(args, unsigned long long));
        } else if (length == "l") {
          AppendFormatted(out, spec, va_arg(args, unsigned long));
        } else if (length == "z" || length == "t") {
          AppendFormatted(out, spec, va_arg(args, std::size_t));
        } else {
          AppendFormatted(out, spec, va_arg(args, unsigned int));
        }
        break;
      case 'c':
        if (length == "l") {
          // wint_t arrives promoted (to int where it is narrower than int).
          const wchar_t wide[2] = {static_cast<wchar_t>(va_arg(args, decltype(+std::wint_t{}))), L'\0'};
          AppendFormatted(out, narrowSpec, WideToUtf8(wide).c_str());
        } else {
          AppendFormatted(out, spec, va_arg(args, int));
        }
        break;
      case 'f':
      case 'F':
      case 'e':
      case 'E':
      case 'g':
      case 'G':
      case 'a':
      case 'A':
        if (length == "L") {
          AppendFormatted(out, spec, va_arg(args, long double));
        } else {
          AppendFormatted(out, spec, va_arg(args, double));
        }
        break;
      case 's':
        if (length == "l") {
          const wchar_t* wide = va_arg(args, const wchar_t*);
          AppendFormatted(out, narrowSpec, wide != nullptr ? WideToUtf8(wide).c_str() : "(null)");
        } else {
          const char* narrow = va_arg(args, const char*);
          AppendFormatted(out, spec, narrow != nullptr ? narrow : "(null)");
        }
        break;
      case 'p':
        AppendFormatted(out, spec, va_arg(args, void*));
        break;
      case 'n':
        // Writes nothing here, but its argument is taken, so the ones after it stay in place.
        (void)va_arg(args, void*);
        break;
      default:
        // Not a printf conversion (the format attribute refuses it at compile time): kept as
        // written, no argument taken.
        out += spec;
        break;
    }
  }
  if (out.size() >= kLogMessageBufferBytes) out.resize(kLogMessageBufferBytes - 1);
  return out;
}

std::string FormatLogLine(const LocalTime& time, const std::string& message) {
  char buffer[kLogLineBufferBytes] = {};
  std::snprintf(buffer, sizeof buffer, "%04u-%02u-%02u %02u:%02u:%02u %s\n", time.year, time.month, time.day,
                time.hour, time.minute, time.second, message.c_str());
  return buffer;
}

}  // namespace velmora

#include "base/log_line.h"

#include <gtest/gtest.h>

#include <cstdarg>
#include <functional>

namespace velmora {
namespace {

std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = FormatLogMessage(format, args);
  va_end(args);
  return text;
}

TEST(LogLine, StampsDateAndTimeWithOneSpaceAndBareLineFeed) {
  EXPECT_EQ(FormatLogLine({2024, 3, 5, 9, 7, 3}, "Setup started (PID 42)."),
            "2024-03-05 09:07:03 Setup started (PID 42).\n");
}

TEST(LogLine, MessageIsFormattedPrintfStyleIncludingWideArguments) {
  EXPECT_EQ(Format("Attempt %d of %d: %s %ls.", 2, 3, "failed", L"C:\\x"), "Attempt 2 of 3: failed C:\\x.");
}

TEST(LogLine, LongMessageIsCutAt2047Bytes) {
  const std::string long_text(3000, 'x');
  const std::string message = Format("%s", long_text.c_str());
  ASSERT_EQ(message.size(), 2047u);
  const std::string line = FormatLogLine({2026, 12, 31, 23, 59, 59}, message);
  EXPECT_EQ(line, "2026-12-31 23:59:59 " + std::string(2047, 'x') + "\n");
}

// Each row formats with arguments after the conversion under test: a conversion that takes the
// wrong number of arguments shows as a wrong text after it.
TEST(LogLine, EachConversionTakesItsOwnArgumentsAndLeavesTheNextInPlace) {
  struct Case {
    const char* name;
    std::function<std::string()> format;
    const char* expected;
  };
  int written = 0;
  const Case cases[] = {
      {"precision from an argument", [] { return Format("[%.*s] %d", 3, "abcdef", 7); }, "[abc] 7"},
      {"width from an argument", [] { return Format("[%*d] %s", 4, 5, "next"); }, "[   5] next"},
      {"both from arguments", [] { return Format("[%*.*s] %d", 5, 2, "xyz", 1); }, "[   xy] 1"},
      {"negative width reads as left-aligned", [] { return Format("[%*d] %d", -3, 5, 6); }, "[5  ] 6"},
      {"negative precision reads as none", [] { return Format("[%.*s] %d", -1, "abc", 2); }, "[abc] 2"},
      {"wide text with an argument precision", [] { return Format("[%.*ls] %d", 2, L"\u00e9tat", 9); },
       "[\xc3\xa9] 9"},
      {"%n writes nothing and takes its pointer", [&written] { return Format("a%nb %d", &written, 4); },
       "ab 4"},
      {"long long, size and pointer-sized", [] { return Format("%lld %zu %d", -5LL, std::size_t{6}, 7); },
       "-5 6 7"},
      {"percent sign", [] { return Format("100%% %d", 1); }, "100% 1"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.format(), c.expected) << c.name;
}

}  // namespace
}  // namespace velmora

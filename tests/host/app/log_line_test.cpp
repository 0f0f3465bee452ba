#include "app/log_line.h"

#include <gtest/gtest.h>

#include <cstdarg>

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

}  // namespace
}  // namespace velmora

#include "net/error_text.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(AppendErrorCode, AddsTheCodeInUnsignedDecimal) {
  EXPECT_EQ(AppendErrorCode("WinHttpOpen failed", 12029), "WinHttpOpen failed (code 12029)");
  EXPECT_EQ(AppendErrorCode("Unable to create the staged update file", 0),
            "Unable to create the staged update file (code 0)");
  EXPECT_EQ(AppendErrorCode("x", 0xFFFFFFFFu), "x (code 4294967295)");
}

TEST(FormatHresult, GivesEightUpperCaseZeroPaddedHexDigits) {
  const std::pair<std::int32_t, const char*> cases[] = {
      {static_cast<std::int32_t>(0x800C0008u), "0x800C0008"},
      {static_cast<std::int32_t>(0x80004005u), "0x80004005"},
      {0x1, "0x00000001"},
      {0, "0x00000000"},
      {-1, "0xFFFFFFFF"},
  };
  for (const auto& [result, text] : cases) EXPECT_EQ(FormatHresult(result), text);
}

}  // namespace
}  // namespace velmora

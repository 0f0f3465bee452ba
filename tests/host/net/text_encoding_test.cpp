#include "net/text_encoding.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(WidenAscii, OneUnitPerByteWithAsciiUnchanged) {
  EXPECT_EQ(WidenAscii(""), L"");
  EXPECT_EQ(WidenAscii("downloads.velmora.test"), L"downloads.velmora.test");
  EXPECT_EQ(WidenAscii("/a?b=c#d"), L"/a?b=c#d");
  EXPECT_EQ(WidenAscii(std::string("a\0b", 3)), std::wstring(L"a\0b", 3));
  EXPECT_EQ(WidenAscii("\x7F"), std::wstring(1, L'\x7F'));
}

TEST(WidenAscii, BytesAboveAsciiAreSignExtended) {
  const std::wstring wide = WidenAscii("\x80\xC3\xFF");
  ASSERT_EQ(wide.size(), 3u);
  EXPECT_EQ(static_cast<std::uint16_t>(wide[0]), 0xFF80);
  EXPECT_EQ(static_cast<std::uint16_t>(wide[1]), 0xFFC3);
  EXPECT_EQ(static_cast<std::uint16_t>(wide[2]), 0xFFFF);
}

TEST(HexEncodeLower, TwoLowerCaseDigitsPerByteHighHalfFirst) {
  const std::uint8_t bytes[] = {0x00, 0x0F, 0xA0, 0x5C, 0xFF, 0x9B};
  EXPECT_EQ(HexEncodeLower(bytes, sizeof bytes), "000fa05cff9b");
  EXPECT_EQ(HexEncodeLower(bytes, 0), "");
  std::uint8_t all[256];
  for (int i = 0; i < 256; ++i) all[i] = static_cast<std::uint8_t>(i);
  const std::string hex = HexEncodeLower(all, 256);
  ASSERT_EQ(hex.size(), 512u);
  EXPECT_EQ(hex.substr(0, 8), "00010203");
  EXPECT_EQ(hex.substr(2 * 0xAB, 2), "ab");
  EXPECT_EQ(hex.substr(504), "fcfdfeff");
}

}  // namespace
}  // namespace velmora

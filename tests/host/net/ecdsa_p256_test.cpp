#include "net/ecdsa_p256.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/base64.h"

namespace velmora {
namespace {

std::string Decoded(std::string_view text, std::size_t capacity = 64) {
  std::vector<std::uint8_t> out(capacity);
  const std::size_t size = DecodeBase64(text, out.data(), out.size());
  if (size == kBase64Invalid) return "<invalid>";
  return std::string(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(size));
}

TEST(DecodeBase64, DecodesPaddedTextAndRefusesAnythingWithAnotherReading) {
  struct Case {
    const char* text;
    std::string decoded;
  };
  const Case cases[] = {
      {"", ""},
      {"TWFu", "Man"},
      {"TWE=", "Ma"},
      {"TQ==", "M"},
      {"+/+/", "\xfb\xff\xbf"},
      {"TWF", "<invalid>"},     // not a whole group
      {"TQ", "<invalid>"},      // padding left out
      {"TW=u", "<invalid>"},    // padding inside
      {"T===", "<invalid>"},    // three padding characters
      {"TR==", "<invalid>"},    // unused bits set: "TQ==" is the one spelling of "M"
      {"TWF=", "<invalid>"},    // the same for two bytes
      {"TW-u", "<invalid>"},    // the URL-safe alphabet is another one
      {"TWFu\n", "<invalid>"},  // no line breaks
      {"TWFuTWFu", "ManMan"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Decoded(c.text), c.decoded) << c.text;
  }
  EXPECT_EQ(Decoded("TWFu", 2), "<invalid>") << "too little room";
}

// A P-256 key as openssl prints it: openssl pkey -pubout -outform der | base64 -w0.
constexpr char kKey[] =
    "MFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAEU96V2LJ229fRZRI1+9/FE0y8Cyjvx5thhbMY3qj/Na3z7Q3EQdx54Y8ErdG5925xuc0"
    "ec5fuIc2nBidHNz82EA==";

TEST(ParseEcdsaP256PublicKey, TakesTheCurvePointOfAP256KeyOnly) {
  const auto key = ParseEcdsaP256PublicKey(kKey);
  ASSERT_TRUE(key.has_value());
  EXPECT_EQ((*key)[0], 0x53);  // X begins right after the 04 marker: "...QgAEU96V" is 42 00 04 53 de 95
  EXPECT_EQ((*key)[1], 0xde);
  EXPECT_EQ((*key)[63], 0x10);
  const std::string text = kKey;
  const std::vector<std::string> refused = {
      "",
      text.substr(0, text.size() - 4),  // cut short
      text + "AAAA",                    // extra bytes
      // A P-384 key.
      "MHYwEAYHKoZIzj0CAQYFK4EEACIDYgAEZA5lVH2/FX0Hd/dYgSaIGL5DhDEN0V1zAvs+ZQcdbrLW4fhVLkwroI7aMgL7Q6We6GVDNH"
      "MN+GZWKKe/l3SBoFRq8CUrMPOQXEait41DBMtm2QgMLuR1UGCXaEJvI008",
      // The point marker 05 in place of 04.
      "MFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAFU96V2LJ229fRZRI1+9/FE0y8Cyjvx5thhbMY3qj/Na3z7Q3EQdx54Y8ErdG5925xu"
      "c0ec5fuIc2nBidHNz82EA==",
  };
  for (const std::string& r : refused) EXPECT_FALSE(ParseEcdsaP256PublicKey(r).has_value()) << r;
}

// DER of SEQUENCE { INTEGER r, INTEGER s } from the integers' content bytes as written.
std::string Der(const std::string& r, const std::string& s) {
  const std::string body =
      std::string("\x02", 1) + static_cast<char>(r.size()) + r + "\x02" + static_cast<char>(s.size()) + s;
  return std::string("\x30", 1) + static_cast<char>(body.size()) + body;
}

TEST(ParseDerEcdsaP256Signature, ReadsStrictDerIntoRightAlignedNumbers) {
  const std::string r32(32, '\x11');
  const std::string s32(32, '\x22');
  const std::string high = std::string("\x00\x80", 2) + std::string(31, '\x33');  // a sign byte first
  const auto full = ParseDerEcdsaP256Signature(Der(r32, s32));
  ASSERT_TRUE(full.has_value());
  EXPECT_EQ((*full)[0], 0x11);
  EXPECT_EQ((*full)[32], 0x22);
  const auto shortR = ParseDerEcdsaP256Signature(Der("\x05", high));
  ASSERT_TRUE(shortR.has_value());
  EXPECT_EQ((*shortR)[30], 0x00);
  EXPECT_EQ((*shortR)[31], 0x05) << "a short number is right-aligned";
  EXPECT_EQ((*shortR)[32], 0x80) << "the sign byte is dropped";

  struct Case {
    const char* name;
    std::string der;
  };
  std::string longForm = Der(r32, s32);
  longForm.insert(1, "\x81");
  std::string wrongTag = Der(r32, s32);
  wrongTag[2] = '\x03';
  const std::vector<Case> refused = {
      {"empty", ""},
      {"raw r || s", r32 + s32},
      {"trailing byte", Der(r32, s32) + std::string(1, '\0')},
      {"cut short", Der(r32, s32).substr(0, 69)},
      {"long-form length", longForm},
      {"not an integer", wrongTag},
      {"negative r", Der("\x80", s32)},
      {"zero r", Der(std::string("\x00", 1), s32)},
      {"needless leading zero", Der(std::string("\x00\x11", 2), s32)},
      {"33 bytes without a sign byte", Der(std::string(33, '\x11'), s32)},
      {"34 bytes", Der(std::string("\x00", 1) + std::string(33, '\x81'), s32)},
      {"one integer", std::string("\x30\x22\x02\x20", 4) + r32},
  };
  for (const Case& c : refused) EXPECT_FALSE(ParseDerEcdsaP256Signature(c.der).has_value()) << c.name;
}

}  // namespace
}  // namespace velmora

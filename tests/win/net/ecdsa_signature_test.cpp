// CNG's ECDSA check under Wine, with signatures openssl made with the sandbox's manifest keys:
// the form a release engineer publishes is the form the program reads.
#include "net/win/ecdsa_signature.h"

#include <gtest/gtest.h>

#include <string>

#include "net/ecdsa_p256.h"
#include "net_test_support.h"
#include "win_test_support.h"

namespace velmora {
namespace {

EcdsaP256PublicKey PkiPublicKey(const std::string& name) {
  std::string text = test::ReadWholeFile(
      test::DosPathOf(std::string(VELMORA_SOURCE_DIR) + "/tools/sandbox/pki/" + name + ".pub"));
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  const auto key = ParseEcdsaP256PublicKey(text);
  EXPECT_TRUE(key.has_value()) << name << ": " << text;
  return key.value_or(EcdsaP256PublicKey{});
}

EcdsaP256Signature RawSignature(const std::string& der) {
  const auto raw = ParseDerEcdsaP256Signature(der);
  EXPECT_TRUE(raw.has_value()) << "openssl wrote " << der.size() << " bytes that are not strict DER";
  return raw.value_or(EcdsaP256Signature{});
}

TEST(VerifyEcdsaP256Sha256, AcceptsOpensslsSignatureOnlyForItsKeyAndItsExactBytes) {
  const std::string text = "{\"releaseVersion\": \"1.1.8\", \"expires\": \"2027-01-31T00:00:00Z\"}\n";
  const EcdsaP256PublicKey first = PkiPublicKey("manifest-key-1");
  const EcdsaP256PublicKey second = PkiPublicKey("manifest-key-2");
  const EcdsaP256Signature byFirst = RawSignature(test::OpensslSignature(text, "manifest-key-1"));
  const EcdsaP256Signature byOther = RawSignature(test::OpensslSignature(text, "manifest-key-other"));
  std::string changed = text;
  changed[20] = '9';
  EcdsaP256Signature flipped = byFirst;
  flipped[40] ^= 0x01;
  struct Case {
    const char* name;
    const EcdsaP256PublicKey& key;
    std::string text;
    EcdsaP256Signature signature;
    SignatureVerdict verdict;
  };
  const Case cases[] = {
      {"its own key", first, text, byFirst, SignatureVerdict::kValid},
      {"another key of the profile", second, text, byFirst, SignatureVerdict::kInvalid},
      {"a key the profile does not name", first, text, byOther, SignatureVerdict::kInvalid},
      {"one byte changed", first, changed, byFirst, SignatureVerdict::kInvalid},
      {"without the last line feed", first, text.substr(0, text.size() - 1), byFirst,
       SignatureVerdict::kInvalid},
      {"one bit of s flipped", first, text, flipped, SignatureVerdict::kInvalid},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string error;
    EXPECT_EQ(VerifyEcdsaP256Sha256(c.key, c.text, c.signature, &error), c.verdict);
    EXPECT_EQ(error, "");
  }
}

// A key whose point is not on the curve (one bit of Y changed) verifies nothing. Wine 8's CNG
// takes it at import and then finds every signature invalid; a CNG that refuses it at import
// instead gives kError with "Unable to import the manifest signing key".
TEST(VerifyEcdsaP256Sha256, APointOffTheCurveVerifiesNothing) {
  EcdsaP256PublicKey offCurve = PkiPublicKey("manifest-key-1");
  offCurve[63] ^= 0x01;
  const std::string text = "signed";
  const EcdsaP256Signature signature = RawSignature(test::OpensslSignature(text, "manifest-key-1"));
  std::string error;
  EXPECT_EQ(VerifyEcdsaP256Sha256(offCurve, text, signature, &error), SignatureVerdict::kInvalid);
  EXPECT_EQ(error, "");
}

}  // namespace
}  // namespace velmora

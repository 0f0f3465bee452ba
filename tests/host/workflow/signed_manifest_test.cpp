#include "workflow/signed_manifest.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_worker_calls.h"

namespace velmora {
namespace {

TEST(ParseUtcTimestamp, ReadsTheOneUtcFormAndRefusesDatesThatDoNotExist) {
  struct Case {
    const char* text;
    std::optional<std::int64_t> seconds;
  };
  const Case cases[] = {
      {"1970-01-01T00:00:00Z", 0},
      {"2000-03-01T00:00:00Z", 951868800},  // after a leap day of a year divisible by 400
      {"2024-02-29T12:30:45Z", 1709209845},
      {"2027-01-31T00:00:00Z", 1801353600},
      {"2038-01-19T03:14:08Z", 2147483648},  // past 32 bits
      {"2023-02-29T00:00:00Z", std::nullopt},
      {"2100-02-29T00:00:00Z", std::nullopt},  // not a leap year
      {"2027-04-31T00:00:00Z", std::nullopt},
      {"2027-13-01T00:00:00Z", std::nullopt},
      {"2027-00-01T00:00:00Z", std::nullopt},
      {"2027-01-01T24:00:00Z", std::nullopt},
      {"2027-01-01T00:60:00Z", std::nullopt},
      {"2027-01-01T00:00:60Z", std::nullopt},
      {"1969-12-31T23:59:59Z", std::nullopt},
      {"2027-01-01T00:00:00", std::nullopt},        // no zone: local time is not meant
      {"2027-01-01T00:00:00+00:00", std::nullopt},  // one form only
      {"2027-01-01 00:00:00Z", std::nullopt},
      {"2027-01-01", std::nullopt},
      {"2027-1-01T00:00:00Z", std::nullopt},
      {"+027-01-01T00:00:00Z", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseUtcTimestamp(c.text), c.seconds) << c.text;
}

TEST(IsManifestUnexpired, AbsentOrFutureExpiryPassesAndAPastOrUnreadableOneIsRefused) {
  const std::int64_t now = *ParseUtcTimestamp("2027-01-31T00:00:00Z");
  struct Case {
    const char* name;
    std::string text;
    bool passes;
    std::string expires;  // when it passes
    std::string error;    // when it does not
  };
  const std::vector<Case> cases = {
      {"absent", R"({"releaseVersion": "1.1.8"})", true, "", ""},
      {"a second later", R"({"expires": "2027-01-31T00:00:01Z"})", true, "2027-01-31T00:00:01Z", ""},
      {"at the moment", R"({"expires": "2027-01-31T00:00:00Z"})", false, "",
       "Installer manifest expired at 2027-01-31T00:00:00Z"},
      {"long past", R"({"expires" : "2001-01-01T00:00:00Z"})", false, "",
       "Installer manifest expired at 2001-01-01T00:00:00Z"},
      {"local time", R"({"expires": "2099-01-01T00:00:00"})", false, "",
       "Installer manifest expiry '2099-01-01T00:00:00' is not a UTC time such as 2027-01-31T00:00:00Z"},
      {"a number", R"({"expires": 4102444800})", false, "",
       "Installer manifest expiry '' is not a UTC time such as 2027-01-31T00:00:00Z"},
      {"empty", R"({"expires": ""})", false, "",
       "Installer manifest expiry '' is not a UTC time such as 2027-01-31T00:00:00Z"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string expires = "left over";
    std::string error;
    EXPECT_EQ(IsManifestUnexpired(c.text, now, expires, error), c.passes);
    EXPECT_EQ(error, c.error);
    if (c.passes) {
      EXPECT_EQ(expires, c.expires);
    }
  }
}

using test::DerSignedBy;
using test::FakeKey;

// Keys and signatures told apart by their first byte; the check that the platform makes is
// the Windows tests' (CNG under Wine).
TEST(VerifyManifestSignature, AnyKeyOfTheProfileMaySignAndEachFailureHasItsReason) {
  const std::string text = R"({"releaseVersion": "1.1.8"})";
  std::vector<std::string> checked;
  bool platformFails = false;
  const SignatureCheck check = [&](const EcdsaP256PublicKey& key, const std::string& signedText,
                                   const EcdsaP256Signature& signature, std::string* error) {
    checked.push_back(std::to_string(key[0]));
    if (platformFails) {
      *error = "bcrypt is unavailable";
      return SignatureVerdict::kError;
    }
    return signedText == text && signature[0] == key[0] && signature[32] == 0x22 ? SignatureVerdict::kValid
                                                                                 : SignatureVerdict::kInvalid;
  };
  const std::vector<EcdsaP256PublicKey> keys = {FakeKey(1), FakeKey(2)};
  struct Case {
    const char* name;
    std::string text;
    std::string signature;
    bool platformFails;
    bool valid;
    int slot;
    std::vector<std::string> checked;
    std::string error;
  };
  const std::vector<Case> cases = {
      {"first key", text, DerSignedBy(1), false, true, 1, {"1"}, ""},
      {"second key", text, DerSignedBy(2), false, true, 2, {"1", "2"}, ""},
      {"another key",
       text,
       DerSignedBy(3),
       false,
       false,
       0,
       {"1", "2"},
       "Installer manifest signature matches no manifest signing key"},
      {"another text",
       text + " ",
       DerSignedBy(1),
       false,
       false,
       0,
       {"1", "2"},
       "Installer manifest signature matches no manifest signing key"},
      {"not DER",
       text,
       std::string(64, '\x11'),
       false,
       false,
       0,
       {},
       "Installer manifest signature is malformed (64 bytes, not a DER ECDSA P-256 signature)"},
      {"an HTML page",
       text,
       "<html>Not found</html>",
       false,
       false,
       0,
       {},
       "Installer manifest signature is malformed (22 bytes, not a DER ECDSA P-256 signature)"},
      {"no check possible",
       text,
       DerSignedBy(1),
       true,
       false,
       0,
       {"1"},
       "Installer manifest signature could not be checked: bcrypt is unavailable"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    checked.clear();
    platformFails = c.platformFails;
    int slot = 0;
    std::string error;
    EXPECT_EQ(VerifyManifestSignature(c.text, c.signature, keys, check, slot, error), c.valid);
    EXPECT_EQ(slot, c.slot);
    EXPECT_EQ(checked, c.checked);
    EXPECT_EQ(error, c.error);
  }
}

TEST(ProfileManifestSigningKeys, TheSandboxProfileNamesNone) {
  // Its program shows what a profile without keys does; the signed-manifest program has its own.
  EXPECT_TRUE(ProfileManifestSigningKeys().empty());
}

}  // namespace
}  // namespace velmora

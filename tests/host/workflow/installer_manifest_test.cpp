#include "workflow/installer_manifest.h"

#include <gtest/gtest.h>

#include "profile/vendor_profile.h"
#include "net/url_rules.h"

namespace velmora {
namespace {

const std::string kDigest = "3f1c0a9e5b7d2c4f6a8e0b1d3c5f7a9e2b4d6f8a0c1e3b5d7f9a2c4e6b8d0f1a";

std::string Manifest(const std::string& version, const std::string& url, const std::string& digest,
                     const std::string& exeSize) {
  return "{\n  \"" + ManifestVersionKey() + "\": \"" + version + "\",\n  \"" + ManifestPackageUrlKey() +
         "\": \"" + url + "\",\n  \"" + ManifestPackageSha256Key() + "\": \"" + digest +
         "\",\n  \"exeSize\": " + exeSize + "\n}\n";
}

TEST(ReadJsonString, FindsValuesAndDecodesTheSimpleEscapes) {
  struct Case {
    std::string text, expected;
  };
  const std::vector<Case> cases = {
      {R"({"k" : "v"})", "v"},
      {"{\"k\"\t\r\n:\n \t\"v\"}", "v"},
      {R"({"k":"a\"b"})", "a\"b"},
      {R"({"k":"a\nb"})", "a\nb"},
      {R"({"k":"a\/b\\c\td"})", "a/b\\c\td"},
      {R"({"k":"\u0041\b"})", "u0041b"},
      {R"({"k":"never closed)", ""},
      {R"({"k":"ends in escape\)", ""},
      {R"({"k": 12, "k": {"x": 1}, "k": "later"})", "later"},
      {R"({"k":})", ""},
      {R"({"k"  )", ""},
      {R"({"K":"case matters"})", ""},
      {R"({ k :"unquoted key"})", ""},
      {R"({"note":"k", "other":"x", "k":"real"})", "x"},
      {"{\"k\":\"\xC3\xA9\"}", "\xC3\xA9"},
      {R"({"k":""})", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(ReadJsonString(c.text, "k"), c.expected) << c.text;
  EXPECT_EQ(ReadJsonString(R"({"":"x"})", ""), "");
}

TEST(ReadJsonUnsigned, ReadsDigitsAfterTheFirstOccurrenceOnly) {
  const std::vector<std::pair<std::string, std::uint64_t>> cases = {
      {R"({"exeSize": 36547584})", 36547584},
      {R"({"exeSize": "36547584"})", 0},
      {R"({"exeSize": -5})", 0},
      {R"({"exeSize": 12.9})", 12},
      {R"({"other": 1})", 0},
      {R"({"exeSize": "x", "exeSize": 7})", 0},
      {R"({"exeSize":)", 0},
      {R"({"exeSize":   )", 0},
      {R"({"exeSize":18446744073709551617})", 1},  // modulo 2^64
  };
  for (const auto& [text, value] : cases) EXPECT_EQ(ReadJsonUnsigned(text, "exeSize"), value) << text;
  EXPECT_EQ(ReadJsonUnsigned(R"({"":5})", ""), 0u);
}

TEST(ParseManifest, ReadsAllFourValuesAndNormalisesTheDigest) {
  const std::string upper =
      "sha256:" + std::string("3F1C0A9E5B7D2C4F6A8E0B1D3C5F7A9E2B4D6F8A0C1E3B5D7F9A2C4E6B8D0F1A");
  const InstallerManifest m = ParseManifest(
      Manifest("1.1.8", "https://downloads.velmora.test/downloads/v.msi", "  " + upper + " ", "36547584"));
  EXPECT_EQ(m.productVersion, "1.1.8");
  EXPECT_EQ(m.packageUrl, "https://downloads.velmora.test/downloads/v.msi");
  EXPECT_EQ(m.packageSha256, kDigest);
  EXPECT_EQ(m.exeSize, 36547584u);
  EXPECT_FALSE(m.fromFallback);
  EXPECT_TRUE(IsValidManifest(m));

  const InstallerManifest empty = ParseManifest("not json at all");
  EXPECT_TRUE(empty.productVersion.empty() && empty.packageUrl.empty() && empty.packageSha256.empty());
  EXPECT_EQ(empty.exeSize, 0u);
  EXPECT_FALSE(IsValidManifest(empty));
}

// A signed manifest's "expires" key, wherever it stands, changes nothing that the reader takes:
// a program that does not check signatures reads the same four values from it.
TEST(ParseManifest, ExpiresKeyAnywhereReadsAsWithoutIt) {
  const std::string expires = R"("expires": "2001-01-01T00:00:00Z")";
  const std::string version = "\"" + ManifestVersionKey() + "\": \"1.1.8\"";
  const std::string url =
      "\"" + ManifestPackageUrlKey() + "\": \"https://downloads.velmora.test/downloads/v.msi\"";
  const std::string digest = "\"" + ManifestPackageSha256Key() + "\": \"" + kDigest + "\"";
  const std::string exeSize = R"("exeSize": 4096)";
  const std::string texts[] = {
      "{" + expires + ", " + version + ", " + url + ", " + digest + ", " + exeSize + "}",
      "{" + version + ", " + url + ", " + expires + ", " + digest + ", " + exeSize + "}",
      "{" + version + ", " + url + ", " + digest + ", " + exeSize + ", " + expires + "}",
  };
  for (const std::string& text : texts) {
    SCOPED_TRACE(text);
    const InstallerManifest m = ParseManifest(text);
    EXPECT_EQ(m.productVersion, "1.1.8");
    EXPECT_EQ(m.packageUrl, "https://downloads.velmora.test/downloads/v.msi");
    EXPECT_EQ(m.packageSha256, kDigest);
    EXPECT_EQ(m.exeSize, 4096u);
    EXPECT_TRUE(IsValidManifest(m));
  }
}

TEST(IsMsiUrl, IgnoresCaseAndQueryButNotFragment) {
  const std::vector<std::pair<std::string, bool>> cases = {
      {"https://h/x.msi", true},
      {"https://h/X.MSI?token=1", true},
      {"https://h/x.msi#part", false},
      {"https://h/x.msi.exe", false},
      {".msi", true},
      {"msi", false},
      {"https://h/x.msi?a.msi", true},
      {"https://h/x.exe?y.msi", false},
  };
  for (const auto& [url, msi] : cases) EXPECT_EQ(IsMsiUrl(url), msi) << url;
}

TEST(IsValidManifest, FirstFailingRuleRejects) {
  const InstallerManifest good{"1.1.7", "https://downloads.velmora.test/p.msi", kDigest, 0, false};
  ASSERT_TRUE(IsValidManifest(good));
  std::vector<InstallerManifest> bad(8, good);
  bad[0].productVersion = "";
  bad[1].packageUrl = "https://downloads.velmora.test/p.exe";
  bad[2].packageUrl = "HTTPS://downloads.velmora.test/p.msi";
  bad[3].packageUrl = "http://downloads.velmora.test/p.msi";
  bad[4].packageSha256 = kDigest.substr(1);
  bad[5].packageSha256 = kDigest + "0";
  bad[6].packageSha256 = "g" + kDigest.substr(1);
  bad[7].packageSha256 = "A" + kDigest.substr(1);
  for (std::size_t i = 0; i < bad.size(); ++i) EXPECT_FALSE(IsValidManifest(bad[i])) << i;
}

TEST(BuiltInManifest, IsValidAndPointsAtAnAllowedHost) {
  const InstallerManifest& m = BuiltInManifest();
  EXPECT_TRUE(IsValidManifest(m));
  EXPECT_TRUE(m.fromFallback);
  EXPECT_EQ(m.productVersion, "1.1.7");
  EXPECT_EQ(m.exeSize, 36547584u);
  std::string host, path;
  ASSERT_TRUE(ParseAllowedHttpsUrl(m.packageUrl, host, path));
  EXPECT_EQ(path, "/downloads/Velmora-Setup-1.1.7-x64.msi");
  ASSERT_TRUE(ParseAllowedHttpsUrl(DefaultManifestUrl(), host, path));
}

}  // namespace
}  // namespace velmora

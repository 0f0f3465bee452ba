// The vendor's hosts, manifest URL, manifest key names, manifest signing keys and package
// publisher keys must not be readable in the built program. This binary links the whole
// program library, so it holds what the program holds.
#include <gtest/gtest.h>

#include <cctype>

#include "net/ecdsa_p256.h"
#include "profile/vendor_profile.h"
#include "win_test_support.h"

namespace velmora {
namespace {

std::string Utf16Bytes(const std::string& text) {
  std::string bytes;
  for (char c : text) {
    bytes.push_back(c);
    bytes.push_back('\0');
  }
  return bytes;
}

std::string OwnImage() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  return test::ReadWholeFile(path);
}

std::string ShippedImage() {
  return test::ReadWholeFile(test::TestBinaryFolder() + L"\\..\\VelmoraSetup.exe");
}

void ExpectNoPlainSecrets(const std::string& image) {
  ASSERT_GT(image.size(), 100000u);
  std::vector<std::string> secrets = {DefaultManifestUrl(),    ManifestVersionKey(),
                                      ManifestPackageUrlKey(), ManifestPackageSha256Key(),
                                      BuiltInPackageUrl(),     test::Narrow(MessageHost())};
  for (int i = 0; i < kAllowedDownloadHostCount; ++i) secrets.push_back(AllowedDownloadHost(i));
  for (const std::string& secret : secrets) {
    ASSERT_GE(secret.size(), 8u) << "profile texts are long enough to be searched for";
    EXPECT_EQ(image.find(secret), std::string::npos) << secret;
    EXPECT_EQ(image.find(Utf16Bytes(secret)), std::string::npos) << secret;
  }
  // The search itself works: the plain pin is not scrambled and must be found.
  EXPECT_NE(image.find(ServerKeyPin()), std::string::npos);
}

TEST(ScrambledProfileTexts, NoneAppearsAsPlainTextInTheBinary) { ExpectNoPlainSecrets(OwnImage()); }

TEST(ScrambledProfileTexts, NoneAppearsAsPlainTextInTheShippedProgram) {
  ExpectNoPlainSecrets(ShippedImage());
}

// The program built with the signed-manifest test profile holds neither the keys' published
// text nor their raw points.
TEST(ScrambledProfileTexts, ManifestSigningKeysAppearInNeitherFormInTheSignedManifestProgram) {
  const std::string image =
      test::ReadWholeFile(test::TestBinaryFolder() + L"\\..\\VelmoraSetupSignedManifest.exe");
  ASSERT_GT(image.size(), 100000u);
  for (const char* name : {"manifest-key-1", "manifest-key-2"}) {
    SCOPED_TRACE(name);
    std::string text = test::ReadWholeFile(
        test::DosPathOf(std::string(VELMORA_SOURCE_DIR) + "/tools/sandbox/pki/" + name + ".pub"));
    while (!text.empty() && text.back() == '\n') text.pop_back();
    const auto point = ParseEcdsaP256PublicKey(text);
    ASSERT_TRUE(point.has_value());
    // The text after the prefix that every P-256 key shares.
    EXPECT_EQ(image.find(text.substr(36)), std::string::npos);
    EXPECT_EQ(image.find(std::string(point->begin(), point->end())), std::string::npos);
  }
  EXPECT_NE(image.find(ServerKeyPin()), std::string::npos);
}

// Nor does the program built with the publisher test profile hold the publisher's key, in
// either case.
TEST(ScrambledProfileTexts, PackagePublisherKeyAppearsInNeitherCaseInThePublisherProgram) {
  const std::string image =
      test::ReadWholeFile(test::TestBinaryFolder() + L"\\..\\VelmoraSetupPublisher.exe");
  ASSERT_GT(image.size(), 100000u);
  std::string pin = test::ReadWholeFile(
      test::DosPathOf(std::string(VELMORA_SOURCE_DIR) + "/tools/sandbox/pki/publisher.pin"));
  while (!pin.empty() && pin.back() == '\n') pin.pop_back();
  ASSERT_EQ(pin.size(), 64u);
  std::string upper = pin;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  for (const std::string& text : {pin, upper}) {
    EXPECT_EQ(image.find(text), std::string::npos) << text;
    EXPECT_EQ(image.find(Utf16Bytes(text)), std::string::npos) << text;
  }
  EXPECT_NE(image.find(ServerKeyPin()), std::string::npos);
}

}  // namespace
}  // namespace velmora

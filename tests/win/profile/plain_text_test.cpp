// The vendor's hosts, manifest URL and manifest key names must not be readable in the built
// program. This binary links the whole program library, so it holds what the program holds.
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace velmora

// The package publisher check with Wine's own wintrust and crypt32, on the sample package as
// the build signed it (osslsigncode) with the sandbox PKI's publisher and with another one.
//
// Wine 8's WinVerifyTrust recognises a signed MSI, reads its signature and signer, and refuses
// an unsigned one; but it never compares the package's contents with the signed digest (its
// image-hash step handles only programs), and it accepts a signer whose root no one trusts.
// So what Wine proves here is the signer read from the package and its key compared, and the
// refusal of unsigned and foreign-signed packages; that a changed byte or an untrusted root is
// refused is Windows' part of the verdict.
#include "net/win/package_publisher.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "msi_support.h"
#include "net_test_support.h"
#include "win_test_support.h"

namespace velmora {
namespace {

TEST(VerifyPackagePublisher, PackageSignedWithThePublishersKeyIsAcceptedAndNamesItsSigner) {
  const std::string publisher = test::PkiPin("publisher");
  ASSERT_EQ(publisher.size(), 64u);
  std::string signer;
  std::string error;
  EXPECT_TRUE(VerifyPackagePublisher(test::SamplePackageSignedBy("publisher"), {publisher}, &signer, &error))
      << error;
  EXPECT_EQ(signer, "Velmora Sandbox Publisher (key " + publisher + ")");
}

// The second slot holds the next key while packages signed with the first are still served.
TEST(VerifyPackagePublisher, EitherKeySlotAccepts) {
  const std::string publisher = test::PkiPin("publisher");
  const std::string other = test::PkiPin("other-publisher");
  for (const std::vector<std::string>& keys :
       {std::vector<std::string>{other, publisher}, std::vector<std::string>{publisher, other}}) {
    std::string error;
    EXPECT_TRUE(VerifyPackagePublisher(test::SamplePackageSignedBy("publisher"), keys, nullptr, &error))
        << error;
    EXPECT_TRUE(VerifyPackagePublisher(test::SamplePackageSignedBy("other-publisher"), keys, nullptr, &error))
        << error;
  }
}

TEST(VerifyPackagePublisher, PackageSignedByAnotherPublisherIsRefusedNamingThatSigner) {
  std::string signer = "untouched";
  std::string error;
  EXPECT_FALSE(VerifyPackagePublisher(test::SamplePackageSignedBy("other-publisher"),
                                      {test::PkiPin("publisher")}, &signer, &error));
  EXPECT_EQ(error, "signed by Velmora Sandbox Other Publisher (key " + test::PkiPin("other-publisher") +
                       "), which is not the publisher's key");
  EXPECT_EQ(signer, "untouched");
}

TEST(VerifyPackagePublisher, UnsignedPackageIsRefused) {
  std::string error;
  EXPECT_FALSE(VerifyPackagePublisher(test::msi::SamplePackage(L"1.1.8"), {test::PkiPin("publisher")},
                                      nullptr, &error));
  EXPECT_EQ(error, "the package is not signed (0x800B0100)");
}

TEST(VerifyPackagePublisher, MissingFileIsRefusedWithWindowsCode) {
  std::string error;
  EXPECT_FALSE(VerifyPackagePublisher(test::SamplePackageSignedBy("nobody"), {test::PkiPin("publisher")},
                                      nullptr, &error));
  EXPECT_EQ(error.rfind("Windows does not accept the package's signature (0x", 0), 0u) << error;
}

}  // namespace
}  // namespace velmora

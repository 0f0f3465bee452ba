#include "profile/vendor_profile.h"

#include <gtest/gtest.h>

#include "base/scrambled_text.h"
#include VELMORA_PROFILE_HEADER

namespace velmora {
namespace {

constexpr VendorProfileValues kProfile = ActiveVendorProfile();

TEST(VendorProfile, ScrambledTextsComeBackAsTheProfileWroteThem) {
  for (int i = 0; i < kAllowedDownloadHostCount; ++i) {
    EXPECT_EQ(AllowedDownloadHost(i), kProfile.downloadHosts[i]);
  }
  EXPECT_EQ(DefaultManifestUrl(), kProfile.manifestUrl);
  EXPECT_EQ(ManifestVersionKey(), kProfile.versionKey);
  EXPECT_EQ(ManifestPackageUrlKey(), kProfile.packageUrlKey);
  EXPECT_EQ(ManifestPackageSha256Key(), kProfile.packageSha256Key);
  EXPECT_EQ(BuiltInPackageUrl(), kProfile.builtInPackageUrl);
  EXPECT_EQ(std::string(MessageHost().begin(), MessageHost().end()), kProfile.messageHost);
  EXPECT_EQ(std::string(ServerKeyPin()), kProfile.serverKeyPin);
}

TEST(VendorProfile, ScrambleMasksEveryByteAndPadsToWholeBlocks) {
  static constexpr auto blocks = Scramble<32>("downloads.velmora.test");
  for (std::size_t i = 0; i < 32; ++i) {
    EXPECT_NE(blocks.mask[i], 0) << i;
    if (i < 22) {
      EXPECT_NE(blocks.masked[i], static_cast<std::uint8_t>("downloads.velmora.test"[i]));
    }
  }
  EXPECT_EQ(Unscramble(blocks), "downloads.velmora.test");
  static_assert(ScrambledSize("") == 16 && ScrambledSize("0123456789abcdef") == 16 &&
                ScrambledSize("0123456789abcdefg") == 32);
  static constexpr auto full = Scramble<16>("0123456789abcdef");
  EXPECT_EQ(Unscramble(full), "0123456789abcdef");
}

}  // namespace
}  // namespace velmora

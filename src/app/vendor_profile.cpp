#include "app/vendor_profile.h"

#include "app/scrambled_text.h"
#include VELMORA_PROFILE_HEADER

namespace velmora {
namespace {

constexpr VendorProfileValues kProfile = ActiveVendorProfile();

// Texts that stay plain must still be NUL-terminated constants.
#define VELMORA_PLAIN(field)                                         \
  ([] {                                                              \
    static constexpr auto text = [] {                                \
      std::array<char, kProfile.field.size() + 1> out{};             \
      for (std::size_t i = 0; i < kProfile.field.size(); ++i)        \
        out[i] = kProfile.field[i];                                  \
      return out;                                                    \
    }();                                                             \
    return text.data();                                              \
  }())

static_assert(kProfile.versionKey.size() <= 16 && kProfile.packageUrlKey.size() <= 16 &&
                  kProfile.packageSha256Key.size() <= 16,
              "manifest key names are held in 16-byte blocks");
static_assert(kProfile.serverKeyPin.size() == 64, "the server key pin has 64 hex digits");

}  // namespace

const std::string& AllowedDownloadHost(int index) {
  static const std::string hosts[kAllowedDownloadHostCount] = {
      Unscramble(*VELMORA_SCRAMBLE(kProfile.downloadHosts[0])),
      Unscramble(*VELMORA_SCRAMBLE(kProfile.downloadHosts[1])),
      Unscramble(*VELMORA_SCRAMBLE(kProfile.downloadHosts[2])),
      Unscramble(*VELMORA_SCRAMBLE(kProfile.downloadHosts[3])),
      Unscramble(*VELMORA_SCRAMBLE(kProfile.downloadHosts[4])),
  };
  return hosts[index];
}

const std::string& DefaultManifestUrl() {
  static const std::string text = Unscramble(*VELMORA_SCRAMBLE(kProfile.manifestUrl));
  return text;
}

const std::string& ManifestVersionKey() {
  static const std::string text = Unscramble(*VELMORA_SCRAMBLE(kProfile.versionKey));
  return text;
}

const std::string& ManifestPackageUrlKey() {
  static const std::string text = Unscramble(*VELMORA_SCRAMBLE(kProfile.packageUrlKey));
  return text;
}

const std::string& ManifestPackageSha256Key() {
  static const std::string text = Unscramble(*VELMORA_SCRAMBLE(kProfile.packageSha256Key));
  return text;
}

// The built-in package URL names a download host, so it is scrambled like the hosts.
const std::string& BuiltInPackageUrl() {
  static const std::string text = Unscramble(*VELMORA_SCRAMBLE(kProfile.builtInPackageUrl));
  return text;
}

const std::wstring& MessageHost() {
  static const std::wstring text = [] {
    const std::string narrow = Unscramble(*VELMORA_SCRAMBLE(kProfile.messageHost));
    return std::wstring(narrow.begin(), narrow.end());
  }();
  return text;
}

const char* ServerKeyPin() { return VELMORA_PLAIN(serverKeyPin); }
const char* BuiltInVersion() { return VELMORA_PLAIN(builtInVersion); }
const char* BuiltInPackageSha256() { return VELMORA_PLAIN(builtInPackageSha256); }
std::uint64_t BuiltInExeSize() { return kProfile.builtInExeSize; }

}  // namespace velmora

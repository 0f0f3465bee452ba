#include "app/vendor_profile.h"

#include <array>

#include "app/ascii.h"
#include "app/scrambled_text.h"
#include "app/vendor_profile_checks.h"
#include VELMORA_PROFILE_HEADER

namespace velmora {
namespace {

// The profile is read only through ActiveVendorProfile(), which is consteval, and only where
// a constant is required: no record of the profile's plain texts reaches the program at any
// optimisation level. Only the blocks and plain constants below are emitted.
#define VELMORA_PROFILE(field) (ActiveVendorProfile().field)

static_assert(AreProfileHostNames(ActiveVendorProfile()),
              "downloadHosts: each host must be 1 to 253 bytes of lower-case letters, digits, "
              "'-' and '.', without an empty label");
// Clang before 15 cannot evaluate libstdc++'s std::string in a constant expression, which the
// URL rules build; its only build is the fuzz one, and the GCC builds check these two.
#if !defined(__clang__) || __clang_major__ >= 15
static_assert(IsProfileDownloadUrl(ActiveVendorProfile(), VELMORA_PROFILE(manifestUrl)),
              "manifestUrl: must pass the download URL rules (https, port 443, no user "
              "information) with its host among downloadHosts");
static_assert(IsProfilePackageUrl(ActiveVendorProfile(), VELMORA_PROFILE(builtInPackageUrl)),
              "builtInPackageUrl: must pass the download URL rules with its host among "
              "downloadHosts, begin with \"https://\" and end in \".msi\"");
#endif
static_assert(IsManifestKeyName(VELMORA_PROFILE(versionKey)),
              "versionKey: 1 to 16 visible ASCII bytes, no quote or backslash");
static_assert(IsManifestKeyName(VELMORA_PROFILE(packageUrlKey)),
              "packageUrlKey: 1 to 16 visible ASCII bytes, no quote or backslash");
static_assert(IsManifestKeyName(VELMORA_PROFILE(packageSha256Key)),
              "packageSha256Key: 1 to 16 visible ASCII bytes, no quote or backslash");
static_assert(AreManifestKeyNamesDistinct(ActiveVendorProfile()),
              "versionKey, packageUrlKey, packageSha256Key: must differ from each other and "
              "from \"exeSize\"");
static_assert(IsHexDigits64(VELMORA_PROFILE(serverKeyPin)),
              "serverKeyPin: must be 64 hexadecimal digits (tools/pin_tool.sh prints it)");
static_assert(IsHexDigits64(VELMORA_PROFILE(builtInPackageSha256)),
              "builtInPackageSha256: must be 64 hexadecimal digits, without a \"sha256:\" "
              "prefix or spaces");
static_assert(IsVersionText(VELMORA_PROFILE(builtInVersion)),
              "builtInVersion: must be a dotted version such as 1.1.7");
static_assert(IsProfileHostName(VELMORA_PROFILE(messageHost)),
              "messageHost: must be a host name: lower-case letters, digits, '-' and '.'");
static_assert(sizeof(VELMORA_COMPANY_NAME) > 1,
              "VELMORA_COMPANY_NAME: the company named in the file properties must not be empty");
static_assert(sizeof(VELMORA_PRODUCT_NAME) > 1,
              "VELMORA_PRODUCT_NAME: the product named in the file properties must not be empty");

// A text that stays plain, as a NUL-terminated constant; hexadecimal letters optionally
// folded to lower case, the form the program compares digests in.
template <std::size_t N>
consteval std::array<char, N + 1> PlainText(std::string_view text, bool lowerHexLetters) {
  std::array<char, N + 1> out{};
  for (std::size_t i = 0; i < N; ++i) {
    const char c = text[i];
    out[i] = lowerHexLetters ? LowerHexLetter(c) : c;
  }
  return out;
}

#define VELMORA_PLAIN(field, lowerHexLetters)                                              \
  ([] {                                                                                    \
    static constexpr auto text =                                                           \
        PlainText<VELMORA_PROFILE(field).size()>(VELMORA_PROFILE(field), lowerHexLetters); \
    return text.data();                                                                    \
  }())

}  // namespace

const std::string& AllowedDownloadHost(int index) {
  static const std::string hosts[kAllowedDownloadHostCount] = {
      Unscramble(*VELMORA_SCRAMBLE(VELMORA_PROFILE(downloadHosts[0]))),
      Unscramble(*VELMORA_SCRAMBLE(VELMORA_PROFILE(downloadHosts[1]))),
      Unscramble(*VELMORA_SCRAMBLE(VELMORA_PROFILE(downloadHosts[2]))),
      Unscramble(*VELMORA_SCRAMBLE(VELMORA_PROFILE(downloadHosts[3]))),
      Unscramble(*VELMORA_SCRAMBLE(VELMORA_PROFILE(downloadHosts[4]))),
  };
  return hosts[index];
}

const std::string& DefaultManifestUrl() {
  static const std::string text = Unscramble(*VELMORA_SCRAMBLE(VELMORA_PROFILE(manifestUrl)));
  return text;
}

const std::string& ManifestVersionKey() {
  static const std::string text = Unscramble(*VELMORA_SCRAMBLE(VELMORA_PROFILE(versionKey)));
  return text;
}

const std::string& ManifestPackageUrlKey() {
  static const std::string text = Unscramble(*VELMORA_SCRAMBLE(VELMORA_PROFILE(packageUrlKey)));
  return text;
}

const std::string& ManifestPackageSha256Key() {
  static const std::string text = Unscramble(*VELMORA_SCRAMBLE(VELMORA_PROFILE(packageSha256Key)));
  return text;
}

// The built-in package URL names a download host, so it is scrambled like the hosts.
const std::string& BuiltInPackageUrl() {
  static const std::string text = Unscramble(*VELMORA_SCRAMBLE(VELMORA_PROFILE(builtInPackageUrl)));
  return text;
}

const std::wstring& MessageHost() {
  static const std::wstring text = [] {
    const std::string narrow = Unscramble(*VELMORA_SCRAMBLE(VELMORA_PROFILE(messageHost)));
    return std::wstring(narrow.begin(), narrow.end());
  }();
  return text;
}

const char* ServerKeyPin() { return VELMORA_PLAIN(serverKeyPin, false); }
const char* BuiltInVersion() { return VELMORA_PLAIN(builtInVersion, false); }
const char* BuiltInPackageSha256() { return VELMORA_PLAIN(builtInPackageSha256, true); }
std::uint64_t BuiltInExeSize() {
  // Through a constant of its own: read straight from the call, an unoptimised build would
  // place the whole record, texts and all, in the program to read one field from it.
  constexpr std::uint64_t size = VELMORA_PROFILE(builtInExeSize);
  return size;
}

}  // namespace velmora

#include "profile/vendor_profile.h"

#include <array>
#include <utility>

#include "base/ascii.h"
#include "base/scrambled_text.h"
#include "profile/vendor_profile_values.h"
#include VELMORA_PROFILE_HEADER

namespace velmora {
namespace {

// The profile is read only through ActiveVendorProfile(), which is consteval, and only where
// a constant is required: no record of the profile's plain texts reaches the program at any
// optimisation level. Only the blocks and plain constants below are emitted.
#define VELMORA_PROFILE(field) (ActiveVendorProfile().field)

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

// One scrambled block per host, for as many hosts as the list holds.
template <std::size_t... I>
std::array<std::string, kAllowedDownloadHostCount> UnscrambleHosts(std::index_sequence<I...>) {
  return {Unscramble(*VELMORA_SCRAMBLE(VELMORA_PROFILE(downloadHosts[I])))...};
}

template <std::size_t... I>
std::vector<std::string> GivenPublisherKeys(std::index_sequence<I...>) {
  std::vector<std::string> keys;
  for (const char* key : {VELMORA_PLAIN(packagePublisherKeys[I], true)...}) {
    if (*key != '\0') keys.emplace_back(key);
  }
  return keys;
}

}  // namespace

const std::string& AllowedDownloadHost(int index) {
  static const auto hosts = UnscrambleHosts(std::make_index_sequence<kAllowedDownloadHostCount>{});
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

const std::vector<std::string>& PackagePublisherKeys() {
  static const std::vector<std::string> keys =
      GivenPublisherKeys(std::make_index_sequence<kPackagePublisherKeyCount>{});
  return keys;
}

}  // namespace velmora

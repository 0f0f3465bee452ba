#include "profile/vendor_profile.h"

#include <array>
#include <utility>
#include <vector>

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

// One scrambled block per slot of a list, for as many slots as it has.
#define VELMORA_UNSCRAMBLE_SLOTS(field)                               \
  ([]<std::size_t... I>(std::index_sequence<I...>) {                  \
    return std::array<std::string, sizeof...(I)>{                     \
        Unscramble(*VELMORA_SCRAMBLE(VELMORA_PROFILE(field[I])))...}; \
  }(std::make_index_sequence<VELMORA_PROFILE(field).size()>{}))

// The keys of a list's slots in slot order, hexadecimal letters optionally folded to lower
// case; the profile's checks keep the unused slots last.
template <std::size_t N>
std::vector<std::string> GivenKeys(const std::array<std::string, N>& slots, bool lowerHexLetters) {
  std::vector<std::string> keys;
  for (const std::string& slot : slots) {
    if (slot.empty()) continue;
    std::string key = slot;
    if (lowerHexLetters) {
      for (char& c : key) c = LowerHexLetter(c);
    }
    keys.push_back(std::move(key));
  }
  return keys;
}

}  // namespace

const std::string& AllowedDownloadHost(int index) {
  static const auto hosts = VELMORA_UNSCRAMBLE_SLOTS(downloadHosts);
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

// The keys are held scrambled like the hosts, although public: their published text is not to
// be found in the program's bytes, and so not swapped there for another.
const std::vector<std::string>& ManifestSigningKeys() {
  static const auto keys = GivenKeys(VELMORA_UNSCRAMBLE_SLOTS(manifestSigningKeys), false);
  return keys;
}

const std::vector<std::string>& PackagePublisherKeys() {
  static const auto keys = GivenKeys(VELMORA_UNSCRAMBLE_SLOTS(packagePublisherKeys), true);
  return keys;
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

// The rules a vendor profile must meet. vendor_profile_checks.cpp asserts them while the profile
// compiles, so a profile that the program would turn down at run time never builds. The URL,
// version and package-URL rules are the run-time rules themselves.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "base/ascii.h"
#include "profile/vendor_profile_values.h"
#include "net/ecdsa_p256.h"
#include "net/url_rules.h"
#include "product/version.h"
#include "workflow/installer_manifest.h"

namespace velmora {

// A host name, not an address: labels of lower-case letters, digits and '-', joined by '.',
// 1 to 253 bytes, none empty and none beginning or ending with '-' (a host such as "-o" reads
// as an option to the tools that publish and check a release). The last label is not all
// digits, which refuses a bare IPv4 address in any of its forms: an address is no host name a
// certificate names, and it pins the vendor to one machine.
[[nodiscard]] constexpr bool IsProfileHostName(std::string_view host) {
  if (host.empty() || host.size() > 253) return false;
  std::size_t labelStart = 0;
  bool lastLabelAllDigits = true;
  for (std::size_t at = 0; at <= host.size(); ++at) {
    if (at == host.size() || host[at] == '.') {
      const std::string_view label = host.substr(labelStart, at - labelStart);
      if (label.empty() || label.front() == '-' || label.back() == '-') return false;
      lastLabelAllDigits = true;
      for (char c : label) lastLabelAllDigits = lastLabelAllDigits && IsAsciiDigit(c);
      labelStart = at + 1;
      continue;
    }
    const char c = host[at];
    if (!((c >= 'a' && c <= 'z') || IsAsciiDigit(c) || c == '-')) return false;
  }
  return !lastLabelAllDigits;
}

[[nodiscard]] constexpr bool AreProfileHostNames(const VendorProfileValues& profile) {
  for (std::string_view host : profile.downloadHosts) {
    if (!IsProfileHostName(host)) return false;
  }
  return true;
}

// Passes the downloader's URL rules, allow-list included.
[[nodiscard]] constexpr bool IsProfileDownloadUrl(const VendorProfileValues& profile, std::string_view url) {
  std::string host;
  std::string path;
  if (!SplitHttpsUrl(url, host, path)) return false;
  for (std::string_view allowed : profile.downloadHosts) {
    if (host == allowed) return true;
  }
  return false;
}

// Also what the manifest's validity rule asks of a package URL: "https://" as written, ".msi".
[[nodiscard]] constexpr bool IsProfilePackageUrl(const VendorProfileValues& profile, std::string_view url) {
  return IsProfileDownloadUrl(profile, url) && url.starts_with("https://") && IsMsiUrl(url);
}

[[nodiscard]] constexpr bool IsHexDigits64(std::string_view text) {
  if (text.size() != 64) return false;
  for (char c : text) {
    if (!IsHexDigit(c)) return false;
  }
  return true;
}

// A key is searched for as written between double quotes in a 16-byte block: 1 to 16 visible
// ASCII bytes, none of them a quote or a backslash (JSON would escape those).
[[nodiscard]] constexpr bool IsManifestKeyName(std::string_view key) {
  if (key.empty() || key.size() > 16) return false;
  for (char c : key) {
    if (c <= 0x20 || c >= 0x7F || c == '"' || c == '\\') return false;
  }
  return true;
}

[[nodiscard]] constexpr bool HasManifestSigningKeys(const VendorProfileValues& profile) {
  return !profile.manifestSigningKeys[0].empty();
}

// The three keys and "exeSize" must differ, or one reader would take another's value; so must
// "expires" where the manifest is signed and it is read.
[[nodiscard]] constexpr bool AreManifestKeyNamesDistinct(const VendorProfileValues& profile) {
  const std::string_view keys[] = {profile.versionKey, profile.packageUrlKey, profile.packageSha256Key,
                                   "exeSize", "expires"};
  const std::size_t count = HasManifestSigningKeys(profile) ? 5 : 4;
  for (std::size_t i = 0; i < count; ++i) {
    for (std::size_t j = i + 1; j < count; ++j) {
      if (keys[i] == keys[j]) return false;
    }
  }
  return true;
}

// A list of key slots: each slot empty or a key, filled from the first on (the second slot is
// the one a replacement key goes into), and no key given twice.
template <std::size_t N, typename IsKey, typename IsSameKey>
[[nodiscard]] constexpr bool AreKeySlots(const std::array<std::string_view, N>& slots, IsKey isKey,
                                         IsSameKey isSameKey) {
  for (std::size_t i = 0; i < N; ++i) {
    if (slots[i].empty()) continue;
    if ((i > 0 && slots[i - 1].empty()) || !isKey(slots[i])) return false;
    for (std::size_t j = 0; j < i; ++j) {
      if (isSameKey(slots[j], slots[i])) return false;
    }
  }
  return true;
}

// Each an ECDSA P-256 public key; the same key however its text is written.
[[nodiscard]] constexpr bool AreManifestSigningKeys(const VendorProfileValues& profile) {
  return AreKeySlots(
      profile.manifestSigningKeys,
      [](std::string_view key) { return ParseEcdsaP256PublicKey(key).has_value(); },
      [](std::string_view a, std::string_view b) {
        return *ParseEcdsaP256PublicKey(a) == *ParseEcdsaP256PublicKey(b);
      });
}

// The signature is fetched from the manifest URL with ".sig" appended, which only names a file
// beside the manifest when the URL ends in its path: no query, no fragment.
[[nodiscard]] constexpr bool IsSignatureBesideManifest(const VendorProfileValues& profile) {
  return !HasManifestSigningKeys(profile) ||
         profile.manifestUrl.find_first_of("?#") == std::string_view::npos;
}

// Equal as digests are compared: the same hexadecimal digits, either case.
[[nodiscard]] constexpr bool IsSameDigest(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (LowerHexLetter(a[i]) != LowerHexLetter(b[i])) return false;
  }
  return true;
}

// Each a pin of a code-signing certificate's key: 64 hexadecimal digits, not all zeros.
[[nodiscard]] constexpr bool ArePackagePublisherKeys(const VendorProfileValues& profile) {
  return AreKeySlots(
      profile.packagePublisherKeys,
      [](std::string_view key) {
        return IsHexDigits64(key) && key.find_first_not_of('0') != std::string_view::npos;
      },
      IsSameDigest);
}

[[nodiscard]] constexpr bool IsVersionText(std::string_view text) { return !ParseVersionParts(text).empty(); }

// A host under one of the reserved test domains: such a build serves only a sandbox.
[[nodiscard]] constexpr bool IsTestHostName(std::string_view host) {
  for (std::string_view domain : {"test", "example", "invalid", "localhost"}) {
    if (host == domain) return true;
    if (host.size() > domain.size() && host.ends_with(domain) &&
        host[host.size() - domain.size() - 1] == '.') {
      return true;
    }
  }
  return false;
}

[[nodiscard]] constexpr bool NamesTestHost(const VendorProfileValues& profile) {
  for (std::string_view host : profile.downloadHosts) {
    if (IsTestHostName(host)) return true;
  }
  return IsTestHostName(profile.messageHost);
}

}  // namespace velmora

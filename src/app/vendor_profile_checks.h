// The rules a vendor profile must meet. vendor_profile_checks.cpp asserts them while the profile
// compiles, so a profile that the program would turn down at run time never builds. The URL,
// version and package-URL rules are the run-time rules themselves.
#pragma once

#include <string>
#include <string_view>

#include "base/ascii.h"
#include "profile/vendor_profile_values.h"
#include "net/url_rules.h"
#include "product/version.h"
#include "workflow/installer_manifest.h"

namespace velmora {

// Lower-case letters, digits, '-' and '.', 1 to 253 bytes, no empty label.
[[nodiscard]] constexpr bool IsProfileHostName(std::string_view host) {
  if (host.empty() || host.size() > 253 || host.front() == '.' || host.back() == '.' ||
      host.find("..") != std::string_view::npos) {
    return false;
  }
  for (char c : host) {
    if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.')) return false;
  }
  return true;
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

// The three keys and "exeSize" must differ, or one reader would take another's value.
[[nodiscard]] constexpr bool AreManifestKeyNamesDistinct(const VendorProfileValues& profile) {
  const std::string_view keys[] = {profile.versionKey, profile.packageUrlKey, profile.packageSha256Key,
                                   "exeSize"};
  for (std::size_t i = 0; i < 4; ++i) {
    for (std::size_t j = i + 1; j < 4; ++j) {
      if (keys[i] == keys[j]) return false;
    }
  }
  return true;
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

// The only URLs the pinned downloader will open: https, an allow-listed host, port 443.
#pragma once

#include <string>
#include <string_view>

#include "base/ascii.h"

namespace velmora {

namespace url_rules_detail {

[[nodiscard]] constexpr bool IsForbiddenUrlByte(unsigned char b) {
  return b <= 0x20 || b == 0x7F || b == 0x5C;
}

[[nodiscard]] constexpr bool HasHttpsScheme(std::string_view url) {
  constexpr std::string_view kScheme = "https://";
  if (url.size() < 8) return false;
  for (std::size_t i = 0; i < 8; ++i) {
    if (LowerAscii(url[i]) != kScheme[i]) return false;
  }
  return true;
}

[[nodiscard]] constexpr bool IsPort443(std::string_view port) {
  if (port.empty() || port.size() > 5) return false;
  unsigned value = 0;
  for (char c : port) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  return value == 443;
}

}  // namespace url_rules_detail

// Every URL rule except the allow-list: splits the URL into its lower-cased host and its path
// (query and fragment kept). constexpr so that the vendor profile's URLs are held to the same
// rules while the profile compiles.
[[nodiscard]] constexpr bool SplitHttpsUrl(std::string_view url, std::string& host, std::string& path) {
  using namespace url_rules_detail;
  host.clear();
  path.clear();
  if (!HasHttpsScheme(url)) return false;
  for (char c : url) {
    if (IsForbiddenUrlByte(static_cast<unsigned char>(c))) return false;
  }
  if (url.size() <= 8) return false;
  const std::size_t slash = url.find('/', 8);
  if (slash == std::string_view::npos || slash == 8) return false;
  const std::string_view authority = url.substr(8, slash - 8);
  if (authority.find('@') != std::string_view::npos) return false;
  std::string_view candidate = authority;
  const std::size_t colon = authority.find(':');
  if (colon != std::string_view::npos) {
    if (!IsPort443(authority.substr(colon + 1))) return false;
    candidate = authority.substr(0, colon);
  }
  if (candidate.empty() || candidate.size() > 253 || candidate.front() == '.' || candidate.back() == '.') {
    return false;
  }
  std::string lowered;
  for (char c : candidate) {
    const unsigned char b = static_cast<unsigned char>(c);
    if (IsForbiddenUrlByte(b) || b >= 0x80) return false;
    lowered.push_back(LowerAscii(c));
  }
  host = lowered;
  path = std::string(url.substr(slash));
  return true;
}

// Splits an allowed URL into its lower-cased host and its path (query and fragment kept).
[[nodiscard]] bool ParseAllowedHttpsUrl(const std::string& url, std::string& host, std::string& path);

// Exact match against the vendor's download hosts; host must already be lower case.
[[nodiscard]] bool IsAllowedDownloadHost(const std::string& host);

}  // namespace velmora

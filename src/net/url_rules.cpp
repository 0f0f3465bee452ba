#include "net/url_rules.h"

#include "app/vendor_profile.h"

namespace velmora {
namespace {

bool IsForbiddenUrlByte(unsigned char b) { return b <= 0x20 || b == 0x7F || b == 0x5C; }

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool HasHttpsScheme(const std::string& url) {
  static const char kScheme[] = "https://";
  if (url.size() < 8) return false;
  for (std::size_t i = 0; i < 8; ++i) {
    if (LowerAscii(url[i]) != kScheme[i]) return false;
  }
  return true;
}

bool IsPort443(const std::string& port) {
  if (port.empty() || port.size() > 5) return false;
  unsigned value = 0;
  for (char c : port) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  return value == 443;
}

}  // namespace

bool IsAllowedDownloadHost(const std::string& host) {
  for (int i = 0; i < kAllowedDownloadHostCount; ++i) {
    if (host == AllowedDownloadHost(i)) return true;
  }
  return false;
}

bool ParseAllowedHttpsUrl(const std::string& url, std::string& host, std::string& path) {
  host.clear();
  path.clear();
  if (!HasHttpsScheme(url)) return false;
  for (char c : url) {
    if (IsForbiddenUrlByte(static_cast<unsigned char>(c))) return false;
  }
  if (url.size() <= 8) return false;
  const std::size_t slash = url.find('/', 8);
  if (slash == std::string::npos || slash == 8) return false;
  const std::string authority = url.substr(8, slash - 8);
  if (authority.find('@') != std::string::npos) return false;
  std::string candidate = authority;
  const std::size_t colon = authority.find(':');
  if (colon != std::string::npos) {
    if (!IsPort443(authority.substr(colon + 1))) return false;
    candidate = authority.substr(0, colon);
  }
  if (candidate.empty() || candidate.size() > 253 || candidate.front() == '.' ||
      candidate.back() == '.') {
    return false;
  }
  for (char& c : candidate) {
    const unsigned char b = static_cast<unsigned char>(c);
    if (IsForbiddenUrlByte(b) || b >= 0x80) return false;
    c = LowerAscii(c);
  }
  if (!IsAllowedDownloadHost(candidate)) return false;
  host = candidate;
  path = url.substr(slash);
  return true;
}

}  // namespace velmora

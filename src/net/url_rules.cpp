#include "net/url_rules.h"

#include "profile/vendor_profile.h"

namespace velmora {

bool IsAllowedDownloadHost(const std::string& host) {
  for (int i = 0; i < kAllowedDownloadHostCount; ++i) {
    if (host == AllowedDownloadHost(i)) return true;
  }
  return false;
}

bool ParseAllowedHttpsUrl(const std::string& url, std::string& host, std::string& path) {
  std::string candidate;
  std::string rest;
  if (!SplitHttpsUrl(url, candidate, rest) || !IsAllowedDownloadHost(candidate)) {
    host.clear();
    path.clear();
    return false;
  }
  host = candidate;
  path = rest;
  return true;
}

}  // namespace velmora

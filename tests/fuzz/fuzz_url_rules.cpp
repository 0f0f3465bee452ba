// URL rules on arbitrary bytes: an accepted URL always yields an allowed lower-case host and a
// path that starts with a slash and ends the URL.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "net/url_rules.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string url(reinterpret_cast<const char*>(data), size);
  std::string host, path;
  if (!velmora::ParseAllowedHttpsUrl(url, host, path)) return 0;
  if (!velmora::IsAllowedDownloadHost(host) || path.empty() || path[0] != '/') std::abort();
  if (url.size() < path.size() || url.compare(url.size() - path.size(), path.size(), path) != 0) {
    std::abort();
  }
  for (char c : host) {
    if (c >= 'A' && c <= 'Z') std::abort();
  }
  return 0;
}

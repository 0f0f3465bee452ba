#include "net/url_rules.h"

#include <gtest/gtest.h>

#include "profile/vendor_profile.h"

namespace velmora {
namespace {

struct UrlCase {
  std::string url;
  bool allowed;
  std::string host, path;
};

TEST(ParseAllowedHttpsUrl, AcceptsOnlyHttpsToAllowedHostsOnPort443) {
  const std::string h = "downloads.velmora.test";
  const std::vector<UrlCase> cases = {
      {"https://" + h + "/installer/manifest.json", true, h, "/installer/manifest.json"},
      {"HTTPS://Downloads.VELMORA.test/x.msi", true, h, "/x.msi"},
      {"https://" + h + "/", true, h, "/"},
      {"https://" + h, false},
      {"https://" + h + "/a?b=c&d=/e#f", true, h, "/a?b=c&d=/e#f"},
      {"https://cdn.velmora.test:443/p", true, "cdn.velmora.test", "/p"},
      {"https://cdn.velmora.test:0443/p", true, "cdn.velmora.test", "/p"},
      {"https://cdn.velmora.test:00443/p", true, "cdn.velmora.test", "/p"},
      {"https://cdn.velmora.test:000443/p", false},
      {"https://cdn.velmora.test:8443/p", false},
      {"https://cdn.velmora.test:80/p", false},
      {"https://cdn.velmora.test:/p", false},
      {"https://cdn.velmora.test:44a/p", false},
      {"http://" + h + "/x", false},
      {"ftp://" + h + "/x", false},
      {"https://", false},
      {"https:/", false},
      {"https:///x", false},
      {"https://user@" + h + "/x", false},
      {"https://user:pw@" + h + "/x", false},
      {"https://" + h + "/a b", false},
      {"https://" + h + "/a\tb", false},
      {"https://" + h + "/a\x01", false},
      {"https://" + h + "/a\x7F", false},
      {"https://" + h + "/a\\b", false},
      {"https://" + h + "\\x/", false},
      {"https://" + h + "/caf\xC3\xA9", true, h, "/caf\xC3\xA9"},
      {"https://downloads.velmora.tes\xC3\xA9/x", false},
      {"https://." + h + "/x", false},
      {"https://" + h + "./x", false},
      {"https://:443/x", false},
      {"https://www." + h + "/x", false},
      {"https://velmora.test/x", false},
      {"https://[::1]/x", false},
      {"https://[::1]:443/x", false},
      {"https://elsewhere.test/x", false},
      {"https://" + h + std::string("/\0x", 3), false},
  };
  for (const UrlCase& c : cases) {
    std::string host = "stale", path = "stale";
    EXPECT_EQ(ParseAllowedHttpsUrl(c.url, host, path), c.allowed) << c.url;
    if (c.allowed) {
      EXPECT_EQ(host, c.host) << c.url;
      EXPECT_EQ(path, c.path) << c.url;
    }
  }
}

TEST(ParseAllowedHttpsUrl, HostLengthLimitIs253Bytes) {
  // Not on the allow-list either way; the length rule must not crash or accept.
  std::string host, path;
  EXPECT_FALSE(ParseAllowedHttpsUrl("https://" + std::string(254, 'a') + "/x", host, path));
  EXPECT_FALSE(ParseAllowedHttpsUrl("https://" + std::string(253, 'a') + "/x", host, path));
}

TEST(IsAllowedDownloadHost, ExactMatchOnlyForEachOfTheFiveHosts) {
  for (int i = 0; i < kAllowedDownloadHostCount; ++i) {
    const std::string& allowed = AllowedDownloadHost(i);
    ASSERT_FALSE(allowed.empty());
    EXPECT_TRUE(IsAllowedDownloadHost(allowed));
    EXPECT_FALSE(IsAllowedDownloadHost(allowed + "."));
    EXPECT_FALSE(IsAllowedDownloadHost("x." + allowed));
    EXPECT_FALSE(IsAllowedDownloadHost(allowed.substr(1)));
    std::string path;
    std::string host;
    EXPECT_TRUE(ParseAllowedHttpsUrl("https://" + allowed + "/f", host, path));
  }
  EXPECT_FALSE(IsAllowedDownloadHost(""));
}

}  // namespace
}  // namespace velmora

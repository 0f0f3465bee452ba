#include "net/system_downloader.h"

#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <string>

#include "net/file_integrity.h"
#include "net/url_rules.h"
#include "net_test_support.h"
#include "sandbox_docroot.h"
#include "win_test_support.h"

namespace velmora {
namespace {

class SystemDownloaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.Valid()) << test::kOutsideSandbox;
    package = test::PatternedBytes(700000, 3);
    path = server.Publish("Velmora-Setup.msi", package);
    test::WriteWholeFile(Destination(), "the previous package");
  }
  std::wstring Destination() const { return local / L"Velmora-Setup-2.msi"; }

  test::SandboxFolder server;
  test::TempFolder local;
  std::string package;
  std::string path;
};

TEST_F(SystemDownloaderTest, FetchesAUrlTheUrlRulesRejectAndReplacesTheOldFile) {
  const std::string url = "https://elsewhere.test" + path;
  std::string host, urlPath;
  ASSERT_FALSE(ParseAllowedHttpsUrl(url, host, urlPath));
  std::string error = "untouched on success";
  EXPECT_TRUE(DownloadWithSystemDownloader(url, Destination(), &error));
  EXPECT_EQ(error, "untouched on success");
  EXPECT_TRUE(test::FileHolds(Destination(), package));
  EXPECT_NE(test::ServerRequestLog().find("elsewhere.test GET " + path), std::string::npos);
}

struct FailureCase {
  const char* name;
  std::string url;
};

TEST_F(SystemDownloaderTest, FailureGivesTheHresultTextAndLeavesNoFileBehind) {
  const std::vector<FailureCase> cases = {
      {"host that does not resolve", "https://nowhere.velmora.test" + path},
      {"port nobody listens on", "https://elsewhere.test:444" + path},
      {"plain http, nobody on port 80", "http://elsewhere.test" + path},
  };
  for (const FailureCase& c : cases) {
    SCOPED_TRACE(c.name);
    test::WriteWholeFile(Destination(), "the previous package");
    std::string error;
    EXPECT_FALSE(DownloadWithSystemDownloader(c.url, Destination(), &error));
    EXPECT_TRUE(std::regex_match(error, std::regex(R"(Windows downloader failed \(0x[0-9A-F]{8}\)\.)"))) << error;
    EXPECT_FALSE(test::PathExists(Destination()));
  }
  EXPECT_FALSE(DownloadWithSystemDownloader("https://nowhere.velmora.test" + path, Destination(), nullptr));
}

struct AcceptedCase {
  const char* name;
  std::string url;
  bool genuine;  // the body is the published package
};

// Under Wine the system downloader reports success for an error status, a TLS 1.1 server and a
// body cut short alike: on this path only the digest check that follows guards the result.
TEST_F(SystemDownloaderTest, WhatItAcceptsIsLeftToTheDigestCheck) {
  std::string published;
  ASSERT_TRUE(ComputeFileSha256Hex(test::SandboxDocroot() + test::Widen(path), &published));
  const std::vector<AcceptedCase> cases = {
      {"status 404", "https://elsewhere.test/no/such/package.msi", false},
      {"body cut short", "https://elsewhere.test/_/cut=300000" + path, false},
      {"TLS 1.1 only", "https://legacy.velmora.test" + path, true},
  };
  for (const AcceptedCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_TRUE(DownloadWithSystemDownloader(c.url, Destination(), nullptr));
    std::string actual;
    ASSERT_TRUE(ComputeFileSha256Hex(Destination(), &actual));
    EXPECT_EQ(actual == published, c.genuine);
  }
}

// In a process of its own with urlmon ruled out by the loader.
TEST_F(SystemDownloaderTest, WithoutUrlmonTheDestinationIsLeftAsItWas) {
  std::map<std::string, std::string> values;
  ASSERT_TRUE(test::RunNetProbe(L"", "WINEDLLOVERRIDES=urlmon=",
                                "system " + test::ShellQuote("https://elsewhere.test" + path) + " " +
                                    test::ShellQuote(test::Narrow(Destination())),
                                values));
  EXPECT_EQ(values["result"], "0");
  EXPECT_EQ(values["error"], "Windows download support is unavailable.");
  EXPECT_TRUE(test::FileHolds(Destination(), "the previous package"));
}

}  // namespace
}  // namespace velmora

#include "net/win/system_downloader.h"

#include <knownfolders.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "net/win/file_integrity.h"
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
    EXPECT_TRUE(std::regex_match(error, std::regex(R"(Windows downloader failed \(0x[0-9A-F]{8}\)\.)")))
        << error;
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

// The stall limit is shortened at its parameter (the program's is 60 s) so that the test does
// not wait a minute per case. Without the limit Wine's urlmon waits for as long as the server
// holds the connection (up to 15 minutes here), and longer still after a reset. Each case runs
// in a process of its own: under Wine a thread whose binding was aborted from the watch's
// thread never completes a later binding, and the program makes only one per run.
TEST_F(SystemDownloaderTest, NoBytesForTheStallLimitAbortsTheDownload) {
  constexpr ULONGLONG kLimit = 3000;
  struct Case {
    const char* name;
    std::string url;
    bool ok;
  };
  const std::vector<Case> cases = {
      {"server stops sending mid-body", "https://elsewhere.test/_/cut=300000,stall" + path, false},
      {"connection reset mid-body", "https://elsewhere.test/_/cut=300000,reset" + path, false},
      {"server stops before the headers", "https://elsewhere.test/_/delay=600" + path, false},
      // Bytes that keep coming are never cut off, however short the limit.
      {"whole body", "https://elsewhere.test" + path, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::WriteWholeFile(Destination(), "the previous package");
    std::map<std::string, std::string> values;
    const ULONGLONG start = GetTickCount64();
    ASSERT_TRUE(test::RunNetProbe(L"", "",
                                  "system " + test::ShellQuote(c.url) + " " +
                                      test::ShellQuote(test::Narrow(Destination())) + " " +
                                      std::to_string(kLimit),
                                  values));
    const ULONGLONG elapsed = GetTickCount64() - start;
    EXPECT_EQ(values["result"], c.ok ? "1" : "0");
    if (c.ok) {
      EXPECT_TRUE(test::FileHolds(Destination(), package));
      continue;
    }
    EXPECT_EQ(values["error"], "Windows downloader failed (0x80004004).");
    EXPECT_FALSE(test::PathExists(Destination()));
    // Ended by the limit, long before the server would have ended it.
    EXPECT_GE(elapsed, kLimit);
    EXPECT_LT(elapsed, 30000u);
  }
}

// A trickle ends at the minimum rate, shortened at its parameter (the program's window is 60 s),
// with a reason of its own; a body at full speed passes the same short window.
TEST_F(SystemDownloaderTest, TrickleEndsAtTheMinimumRateAndLeavesNoFile) {
  struct Case {
    const char* name;
    std::string url;
    bool ok;
  };
  for (const Case& c : {Case{"trickle", "https://elsewhere.test/_/trickle" + path, false},
                        Case{"full speed", "https://elsewhere.test" + path, true}}) {
    SCOPED_TRACE(c.name);
    test::WriteWholeFile(Destination(), "the previous package");
    std::map<std::string, std::string> values;
    const ULONGLONG start = GetTickCount64();
    ASSERT_TRUE(test::RunNetProbe(L"", "",
                                  "system " + test::ShellQuote(c.url) + " " +
                                      test::ShellQuote(test::Narrow(Destination())) +
                                      " 60000 99999999999 65536 3000",
                                  values));
    const ULONGLONG elapsed = GetTickCount64() - start;
    std::printf("%s through the system downloader ended after %.1f s\n", c.name,
                static_cast<double>(elapsed) / 1000);
    EXPECT_EQ(values["result"], c.ok ? "1" : "0");
    if (c.ok) {
      EXPECT_TRUE(test::FileHolds(Destination(), package));
      continue;
    }
    EXPECT_EQ(values["error"],
              "Windows downloader stopped: the download was slower than 64 KiB in 3 seconds.");
    EXPECT_FALSE(test::PathExists(Destination()));
    EXPECT_GE(elapsed, 3000u);
  }
}

TEST(SystemDownloadLimitsDefaults, AreThePinnedDownloadersSizeAndTheMinuteRate) {
  const SystemDownloadLimits limits;
  EXPECT_EQ(limits.stallMilliseconds, 60000u);
  EXPECT_EQ(limits.maxBytes, 268435456u);
  EXPECT_EQ(limits.minimumRate.minBytes, 65536u);
  EXPECT_EQ(limits.minimumRate.windowMs, 60000u);
}

// The user's cancel reaches the system downloader too: a slow body that would take minutes is
// aborted soon after the stop is requested, and no file is left. In a process of its own, as
// above.
TEST_F(SystemDownloaderTest, StopRequestedMidBodyAbortsTheDownloadAndLeavesNoFile) {
  constexpr ULONGLONG kStopAfter = 1500;
  const std::string url = "https://elsewhere.test/_/rate=20000" + path;
  std::map<std::string, std::string> values;
  const ULONGLONG start = GetTickCount64();
  ASSERT_TRUE(test::RunNetProbe(L"", "",
                                "system " + test::ShellQuote(url) + " " +
                                    test::ShellQuote(test::Narrow(Destination())) + " 60000 " +
                                    std::to_string(kStopAfter),
                                values));
  const ULONGLONG elapsed = GetTickCount64() - start;
  EXPECT_EQ(values["result"], "0");
  EXPECT_EQ(values["error"], "Windows downloader failed (0x80004004).");
  EXPECT_FALSE(test::PathExists(Destination()));
  EXPECT_GE(elapsed, kStopAfter);
  // At 20,000 bytes a second the whole body would take far longer than this.
  EXPECT_LT(elapsed * 20, package.size()) << "the download ran to its end";
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

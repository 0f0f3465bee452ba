// The downloader against the real sandbox server: every failure the server or the platform can
// produce on demand, the checks that must pass, and the progress contract.
#include "net/win/https_downloader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "net_test_support.h"
#include "sandbox_docroot.h"
#include "win_test_support.h"

namespace velmora {
namespace {

using Report = std::pair<std::uint64_t, std::uint64_t>;

constexpr std::uint64_t kBuffer = 262144;
constexpr char kPreviousContent[] = "the previous package";

struct Fetched {
  bool ok = false;
  std::string error;
  std::vector<Report> reports;
};

Fetched Fetch(const std::string& url, const std::wstring& destination, std::uint64_t maxBytes,
              const DownloadCalls& calls = {}) {
  Fetched f;
  f.error = "left from before";  // the downloader empties it at entry
  f.ok = HttpsDownloader(url).Download(
      destination, maxBytes,
      [&f](std::uint64_t done, std::uint64_t total) { f.reports.emplace_back(done, total); }, &f.error,
      calls);
  return f;
}

// "MESSAGE (code N)" with N in unsigned decimal.
bool HasCodeSuffix(const std::string& error, const std::string& message) {
  return error.size() > message.size() && error.compare(0, message.size(), message) == 0 &&
         std::regex_match(error.substr(message.size()), std::regex(R"( \(code [0-9]+\))"));
}

class SandboxDownloadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.Valid()) << test::kOutsideSandbox;
    package = test::PatternedBytes(3 * kBuffer + 12345);
    packagePath = server.Publish("Velmora-Setup.msi", package);
  }

  static std::string Url(const std::string& host, const std::string& path) {
    return "https://" + host + path;
  }
  std::string PackageUrl(const std::string& options = "",
                         const std::string& host = "downloads.velmora.test") const {
    return Url(host, options.empty() ? packagePath : "/_/" + options + packagePath);
  }
  std::wstring Destination() const { return local / L"Velmora-Setup-1.msi"; }
  void PlacePreviousFile() const { test::WriteWholeFile(Destination(), kPreviousContent); }

  test::SandboxFolder server;
  test::TempFolder local;
  std::string package;
  std::string packagePath;
};

struct FailureCase {
  const char* name;
  std::string url;
  std::uint64_t maxBytes;
  std::string error;
  bool codeSuffix;  // the error is followed by " (code N)"
};

void ExpectError(const std::string& actual, const FailureCase& c) {
  if (c.codeSuffix) {
    EXPECT_TRUE(HasCodeSuffix(actual, c.error)) << actual;
  } else {
    EXPECT_EQ(actual, c.error);
  }
}

TEST_F(SandboxDownloadTest, FailuresBeforeTheFileStepLeaveAnExistingFileAsItWas) {
  const std::uint64_t size = package.size();
  const std::vector<FailureCase> cases = {
      {"plain http", "http://downloads.velmora.test" + packagePath, 0,
       "Update URL is not an allowed HTTPS location", false},
      {"host off the allow-list", PackageUrl("", "elsewhere.test"), 0,
       "Update URL is not an allowed HTTPS location", false},
      {"another port", "https://downloads.velmora.test:8443" + packagePath, 0,
       "Update URL is not an allowed HTTPS location", false},
      {"TLS 1.1 only", PackageUrl("", "legacy.velmora.test"), 0, "Update download request failed", true},
      {"404", PackageUrl("status=404"), 0, "Update server returned HTTP 404", false},
      {"missing file", Url("downloads.velmora.test", "/no/such/file.msi"), 0,
       "Update server returned HTTP 404", false},
      {"206", PackageUrl("status=206"), 0, "Update server returned HTTP 206", false},
      {"500", PackageUrl("status=500"), 0, "Update server returned HTTP 500", false},
      {"Date 61 s ahead", PackageUrl("date=+61"), 0,
       "Update server's Date is 61 seconds ahead of this computer's clock", false},
      {"Date 61 s behind", PackageUrl("date=-61"), 0,
       "Update server's Date is 61 seconds behind this computer's clock", false},
      {"Date an hour behind", PackageUrl("date=-3600"), 0,
       "Update server's Date is 3600 seconds behind this computer's clock", false},
      {"chain without the pinned key", PackageUrl("", "mirror.velmora.test"), 0,
       test::PinMismatchText("mirror.velmora.test", "Velmora Sandbox Other Root CA"), false},
      {"Content-Length one above the limit", PackageUrl(), size - 1,
       "Update exceeds the maximum download size", false},
      {"Content-Length one above the default limit",
       Url("downloads.velmora.test", "/_/body=zeros:268435457/z"), 0,
       "Update exceeds the maximum download size", false},
  };
  for (const FailureCase& c : cases) {
    SCOPED_TRACE(c.name);
    PlacePreviousFile();
    const Fetched f = Fetch(c.url, Destination(), c.maxBytes);
    EXPECT_FALSE(f.ok);
    ExpectError(f.error, c);
    EXPECT_TRUE(f.reports.empty());
    EXPECT_TRUE(test::FileHolds(Destination(), kPreviousContent));
  }
}

TEST_F(SandboxDownloadTest, FailuresAfterTheFileStepDeleteTheStagingFileAndOldContent) {
  const std::uint64_t size = package.size();
  const std::vector<FailureCase> cases = {
      {"connection reset mid-body", PackageUrl("cut=300000,reset"), 0, "Update download read failed", true},
      // Under Wine a clean close reads as a normal end of the body; only the count tells.
      {"body cut short by a clean close", PackageUrl("cut=300000"), 0,
       "Update download ended after 300000 of " + std::to_string(size) + " announced bytes", false},
      {"announced length larger than the body", PackageUrl("length=lie:1000"), 0,
       "Update download ended after " + std::to_string(size) + " of " + std::to_string(size + 1000) +
           " announced bytes",
       false},
      {"no Content-Length, body one above the limit", PackageUrl("length=none"), size - 1,
       "Update exceeded the maximum download size", false},
      {"empty body", PackageUrl("body=empty"), 0, "Update download was empty", false},
  };
  for (const FailureCase& c : cases) {
    SCOPED_TRACE(c.name);
    PlacePreviousFile();
    const Fetched f = Fetch(c.url, Destination(), c.maxBytes);
    EXPECT_FALSE(f.ok);
    ExpectError(f.error, c);
    EXPECT_FALSE(test::PathExists(Destination()));
    // The file step was reached: the first report came, and none passed the limit.
    ASSERT_FALSE(f.reports.empty());
    EXPECT_EQ(f.reports.front().first, 0u);
    const std::uint64_t limit = c.maxBytes == 0 ? 268435456 : c.maxBytes;
    EXPECT_LE(f.reports.back().first, limit);
  }
}

TEST_F(SandboxDownloadTest, StagingFileThatCannotBeCreatedGivesItsCodeAndLeavesTheFileAlone) {
  EXPECT_EQ(Fetch(PackageUrl(), local / L"missing\\folder.msi", 0).error,
            "Unable to create the staged update file (code 3)");
  EXPECT_FALSE(test::PathExists(local / L"missing"));

  PlacePreviousFile();
  {
    const test::ScopedFileLock lock(Destination());
    const Fetched f = Fetch(PackageUrl(), Destination(), 0);
    EXPECT_FALSE(f.ok);
    EXPECT_EQ(f.error, "Unable to create the staged update file (code 32)");
    EXPECT_TRUE(f.reports.empty());
  }
  EXPECT_TRUE(test::FileHolds(Destination(), kPreviousContent));
}

struct Passing {
  const char* name;
  std::string url;
  std::uint64_t maxBytes;
};

TEST_F(SandboxDownloadTest, ResponsesThatPassEveryCheckReplaceTheExistingFile) {
  const std::uint64_t size = package.size();
  const std::vector<Passing> cases = {
      {"plain", PackageUrl(), 0},
      {"Date 60 s ahead", PackageUrl("date=+60"), 0},
      {"Date 60 s behind", PackageUrl("date=-60"), 0},
      {"no Date", PackageUrl("date=none"), 0},
      {"Content-Length equal to the limit", PackageUrl(), size},
      {"no Content-Length, body equal to the limit", PackageUrl("length=none"), size},
      {"TLS 1.2 only host", PackageUrl("", "cdn.velmora.test"), 0},
      {"third host", PackageUrl("", "archive.velmora.test"), 0},
      {"scheme and host in capitals, port 443", "HTTPS://Downloads.VELMORA.test:443" + packagePath, 0},
  };
  for (const Passing& c : cases) {
    SCOPED_TRACE(c.name);
    PlacePreviousFile();
    const Fetched f = Fetch(c.url, Destination(), c.maxBytes);
    EXPECT_TRUE(f.ok);
    EXPECT_EQ(f.error, "");
    EXPECT_TRUE(test::FileHolds(Destination(), package));
  }
}

TEST_F(SandboxDownloadTest, RedirectsFailWithTheirStatusAndTheLocationIsNeverRequested) {
  const std::string target = server.Publish("redirect-target.msi", package);
  for (const char* status : {"301", "302", "307", "308"}) {
    SCOPED_TRACE(status);
    const std::string options = std::string("status=") + status +
                                ",location=https%3A%2F%2Fdownloads.velmora.test" +
                                target;  // the server decodes the option value
    const Fetched f = Fetch(PackageUrl(options), Destination(), 0);
    EXPECT_FALSE(f.ok);
    EXPECT_EQ(f.error, std::string("Update server returned HTTP ") + status);
  }
  const std::string log = test::ServerRequestLog();
  EXPECT_EQ(log.find(" GET " + target + " "), std::string::npos) << log;
  EXPECT_NE(log.find("status=302"), std::string::npos) << log;
}

// Nothing an unauthenticated server says is read: an interceptor's redirect, stale Date, error
// status or oversized length ends the download as the pin failure it is. The same answers from
// the pinned server give their own reasons.
TEST_F(SandboxDownloadTest, InterceptorsStatusDateAndLengthAreNotReadBeforeThePin) {
  const std::string interceptor =
      test::PinMismatchText("downloads.velmora.test", "Velmora Sandbox Inspection CA");
  struct Case {
    const char* name;
    std::string options;
    std::uint64_t maxBytes;
    std::string pinnedServerError;
  };
  const std::vector<Case> cases = {
      {"redirect", "status=302", 0, "Update server returned HTTP 302"},
      {"stale Date", "date=-3600", 0, "Update server's Date is 3600 seconds behind this computer's clock"},
      {"error status", "status=503", 0, "Update server returned HTTP 503"},
      {"length over the limit", "", package.size() - 1, "Update exceeds the maximum download size"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PlacePreviousFile();
    ASSERT_TRUE(test::SetServerChains(R"({"downloads.velmora.test": "interceptor"})"));
    const Fetched intercepted = Fetch(PackageUrl(c.options), Destination(), c.maxBytes);
    ASSERT_TRUE(test::SetServerChains(""));
    EXPECT_FALSE(intercepted.ok);
    EXPECT_EQ(intercepted.error, interceptor);
    EXPECT_TRUE(test::FileHolds(Destination(), kPreviousContent));
    const Fetched pinned = Fetch(PackageUrl(c.options), Destination(), c.maxBytes);
    EXPECT_FALSE(pinned.ok);
    EXPECT_EQ(pinned.error, c.pinnedServerError);
  }
}

TEST_F(SandboxDownloadTest, TlsBelowOnePointTwoIsRefusedAndOnePointTwoIsAccepted) {
  const Fetched refused = Fetch(PackageUrl("", "legacy.velmora.test"), Destination(), 0);
  EXPECT_FALSE(refused.ok);
  EXPECT_TRUE(HasCodeSuffix(refused.error, "Update download request failed")) << refused.error;
  EXPECT_NE(test::ServerRequestLog().find("legacy.velmora.test TLS - handshake-failed"), std::string::npos);

  const Fetched accepted = Fetch(PackageUrl("", "cdn.velmora.test"), Destination(), 0);
  EXPECT_TRUE(accepted.ok) << accepted.error;
  EXPECT_NE(test::ServerRequestLog().find("cdn.velmora.test GET " + packagePath + " 200"), std::string::npos);
}

void ExpectProgressContract(const std::vector<Report>& reports, std::uint64_t size, std::uint64_t total) {
  ASSERT_GE(reports.size(), 2u);
  EXPECT_EQ(reports.front(), Report(0, total));
  for (std::size_t i = 1; i < reports.size(); ++i) {
    EXPECT_GT(reports[i].first, reports[i - 1].first) << "report " << i;
    EXPECT_LE(reports[i].first - reports[i - 1].first, kBuffer) << "report " << i;
    EXPECT_EQ(reports[i].second, total) << "report " << i;
  }
  // The last report is that of the last write: with the counts strictly rising, no closing
  // report can repeat it.
  EXPECT_EQ(reports.back().first, size);
}

TEST_F(SandboxDownloadTest, ProgressStartsAtZeroRisesByAtMostOneBufferAndEndsWithTheLastWrite) {
  const Fetched announced = Fetch(PackageUrl(), Destination(), 0);
  ASSERT_TRUE(announced.ok) << announced.error;
  ExpectProgressContract(announced.reports, package.size(), package.size());

  const Fetched unannounced = Fetch(PackageUrl("length=none"), Destination(), 0);
  ASSERT_TRUE(unannounced.ok) << unannounced.error;
  ExpectProgressContract(unannounced.reports, package.size(), 0);
}

TEST_F(SandboxDownloadTest, ProgressCallableIsReleasedBeforeDownloadReturns) {
  for (const std::string& options : {std::string(), std::string("status=404")}) {
    const auto token = std::make_shared<int>(0);
    const bool downloaded = HttpsDownloader(PackageUrl(options))
                                .Download(
                                    Destination(), 0, [token](std::uint64_t, std::uint64_t) {}, nullptr);
    EXPECT_EQ(downloaded, options.empty()) << options;
    EXPECT_EQ(token.use_count(), 1) << options;
  }
}

TEST_F(SandboxDownloadTest, WithoutAnErrorPointerTheOutcomesAreTheSame) {
  PlacePreviousFile();
  EXPECT_FALSE(HttpsDownloader(PackageUrl("status=404")).Download(Destination(), 0, {}, nullptr));
  EXPECT_TRUE(test::FileHolds(Destination(), kPreviousContent));
  EXPECT_FALSE(HttpsDownloader(PackageUrl("body=empty")).Download(Destination(), 0, {}, nullptr));
  EXPECT_FALSE(test::PathExists(Destination()));
  EXPECT_TRUE(HttpsDownloader(PackageUrl()).Download(Destination(), 0, {}, nullptr));
  EXPECT_TRUE(test::FileHolds(Destination(), package));
}

TEST_F(SandboxDownloadTest, ZeroMaxBytesStopsAnUnannouncedBodyAtTheReadThatPasses256MiB) {
  const std::uint64_t limit = 268435456;
  PlacePreviousFile();
  const Fetched f =
      Fetch(Url("downloads.velmora.test", "/_/length=none,body=zeros:268435457/z"), Destination(), 0);
  EXPECT_FALSE(f.ok);
  EXPECT_EQ(f.error, "Update exceeded the maximum download size");
  EXPECT_FALSE(test::PathExists(Destination()));
  ASSERT_FALSE(f.reports.empty());
  EXPECT_LE(f.reports.back().first, limit);
  EXPECT_GT(f.reports.back().first + kBuffer, limit);
}

// A body that never ends stops at the same limit, with the same reason.
TEST_F(SandboxDownloadTest, EndlessBodyStopsAtTheSizeLimitAndLeavesNoFile) {
  PlacePreviousFile();
  const ULONGLONG start = GetTickCount64();
  const Fetched f = Fetch(PackageUrl("body=endless"), Destination(), 0);
  std::printf("an endless body to the pinned downloader ended after %.1f s\n",
              static_cast<double>(GetTickCount64() - start) / 1000);
  EXPECT_FALSE(f.ok);
  EXPECT_EQ(f.error, "Update exceeded the maximum download size");
  EXPECT_FALSE(test::PathExists(Destination()));
}

// A body that keeps coming, but at a trickle, ends once the window holds too few bytes. The
// window is shortened at its seam (the program's is 60 s), so that the test does not wait a
// minute; a body at full speed passes the same short window.
TEST_F(SandboxDownloadTest, TrickleEndsAtTheMinimumRateAndLeavesNoFile) {
  DownloadCalls calls;
  calls.minimumRate = {64 * 1024, 3000};
  PlacePreviousFile();
  const ULONGLONG start = GetTickCount64();
  const Fetched trickle = Fetch(PackageUrl("trickle"), Destination(), 0, calls);
  const ULONGLONG elapsed = GetTickCount64() - start;
  std::printf("a trickle to the pinned downloader ended after %.1f s\n", static_cast<double>(elapsed) / 1000);
  EXPECT_FALSE(trickle.ok);
  EXPECT_EQ(trickle.error, "Update download was slower than 64 KiB in 3 seconds");
  EXPECT_FALSE(test::PathExists(Destination()));
  EXPECT_GE(elapsed, 3000u);
  ASSERT_FALSE(trickle.reports.empty());
  EXPECT_LT(trickle.reports.back().first, 64u * 1024);

  const Fetched fast = Fetch(PackageUrl(), Destination(), 0, calls);
  EXPECT_TRUE(fast.ok) << fast.error;
  EXPECT_TRUE(test::FileHolds(Destination(), package));
}

TEST(DownloadCallsDefaults, MinimumRateIs64KiBInAMinute) {
  const DownloadCalls calls;
  EXPECT_EQ(calls.minimumRate.minBytes, 65536u);
  EXPECT_EQ(calls.minimumRate.windowMs, 60000u);
}

// The file write is replaced at its seam: a full volume cannot be had on demand here.
TEST_F(SandboxDownloadTest, FailedAndShortWritesAtWriteSeamDeleteTheStagingFile) {
  struct WriteFault {
    const char* name;
    decltype(&::WriteFile) write;
  };
  const WriteFault faults[] = {
      {"write refused",
       [](HANDLE, LPCVOID, DWORD, LPDWORD written, LPOVERLAPPED) -> BOOL {
         *written = 0;
         SetLastError(ERROR_DISK_FULL);
         return FALSE;
       }},
      {"short write",
       [](HANDLE file, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED) -> BOOL {
         const BOOL ok = WriteFile(file, data, size / 2, written, nullptr);
         SetLastError(ERROR_DISK_FULL);
         return ok;
       }},
  };
  for (const WriteFault& fault : faults) {
    SCOPED_TRACE(fault.name);
    PlacePreviousFile();
    DownloadCalls calls;
    calls.writeFile = fault.write;
    const Fetched f = Fetch(PackageUrl(), Destination(), 0, calls);
    EXPECT_FALSE(f.ok);
    EXPECT_EQ(f.error, "Unable to write the staged update file (code 112)");
    EXPECT_FALSE(test::PathExists(Destination()));
    EXPECT_EQ(f.reports, std::vector<Report>{Report(0, package.size())});
  }
}

// A cancel by the user is asked for before every read: a stop that comes after the first
// buffer was written ends the download there, and the staged file goes with it.
TEST_F(SandboxDownloadTest, StopRequestedAfterTheFirstBufferEndsTheDownloadBeforeTheNextRead) {
  PlacePreviousFile();
  bool stop = false;
  int asked = 0;
  DownloadCalls calls;
  calls.stopRequested = [&] {
    ++asked;
    return stop;
  };
  Fetched f;
  f.ok = HttpsDownloader(PackageUrl())
             .Download(
                 Destination(), 0,
                 [&](std::uint64_t done, std::uint64_t total) {
                   f.reports.emplace_back(done, total);
                   stop = done > 0;
                 },
                 &f.error, calls);
  EXPECT_FALSE(f.ok);
  EXPECT_EQ(f.error, "Download cancelled by the user");
  EXPECT_FALSE(test::PathExists(Destination()));
  ASSERT_EQ(f.reports.size(), 2u);
  EXPECT_GT(f.reports[1].first, 0u);
  EXPECT_LT(f.reports[1].first, package.size());
  EXPECT_EQ(asked, 2) << "asked before the first read and before the second, which never came";

  // Never asked to stop, the same download completes.
  stop = false;
  calls.stopRequested = [] { return false; };
  EXPECT_TRUE(Fetch(PackageUrl(), Destination(), 0, calls).ok);
  EXPECT_TRUE(test::FileHolds(Destination(), package));
}

// In a process of its own, so that this is the run's first download.
TEST_F(SandboxDownloadTest, RejectedUrlNeitherLoadsWinHttpNorReachesTheServer) {
  PlacePreviousFile();
  std::map<std::string, std::string> values;
  const std::string url = "http://downloads.velmora.test" + packagePath;
  ASSERT_TRUE(test::RunNetProbe(
      L"", "", "download " + test::ShellQuote(url) + " " + test::ShellQuote(test::Narrow(Destination())),
      values));
  EXPECT_EQ(values["result"], "0");
  EXPECT_EQ(values["error"], "Update URL is not an allowed HTTPS location");
  EXPECT_EQ(values["loaded_after"], "");
  EXPECT_TRUE(test::FileHolds(Destination(), kPreviousContent));
  EXPECT_EQ(test::ServerRequestLog().find(packagePath), std::string::npos);
}

TEST(FormatWithLastError, AppendsTheThreadsLastErrorReadBeforeAnythingElse) {
  SetLastError(12157);
  EXPECT_EQ(FormatWithLastError("Update download request failed"),
            "Update download request failed (code 12157)");
  SetLastError(0xFFFFFFFFu);
  EXPECT_EQ(FormatWithLastError("x"), "x (code 4294967295)");
}

}  // namespace
}  // namespace velmora

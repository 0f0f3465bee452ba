// Key pinning against the sandbox server's real chains, and the pin tool's agreement with the
// program's own SPKI digest.
#include "net/win/server_key_pin.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <sstream>
#include <string>
#include <vector>

#include "base/win/scoped_handle.h"
#include "profile/vendor_profile.h"
#include "net/win/https_downloader.h"
#include "net_test_support.h"
#include "sandbox_docroot.h"
#include "win_test_support.h"

namespace velmora {
namespace {

const std::string kPki = std::string(VELMORA_SOURCE_DIR) + "/tools/sandbox/pki/";

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The release engineers' pin tool, run on a file of the test PKI.
std::vector<std::string> PinToolPins(const std::string& pemName) {
  test::UnixRun run;
  const bool ran =
      test::RunUnixScript(test::ShellQuote(std::string(VELMORA_SOURCE_DIR) + "/tools/pin_tool.sh") + " " +
                              test::ShellQuote(kPki + pemName),
                          run);
  EXPECT_TRUE(ran && run.exitStatus == 0) << pemName << ": " << run.errors;
  return Lines(run.output);
}

struct CertificateTraits {
  using Value = PCCERT_CONTEXT;
  static bool Valid(PCCERT_CONTEXT c) { return c != nullptr; }
  static void Close(PCCERT_CONTEXT c) { CertFreeCertificateContext(c); }
};
using ScopedCertificate = Scoped<CertificateTraits>;

ScopedCertificate PkiCertificate(const std::string& pemName) {
  return ScopedCertificate(test::LoadPemCertificate(test::DosPathOf(kPki + pemName)));
}

const std::string kMirrorMismatch =
    test::PinMismatchText("mirror.velmora.test", "Velmora Sandbox Other Root CA");

std::string Upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::toupper(c); });
  return text;
}

TEST(ComputeSpkiSha256Hex, AgreesWithThePinToolForEveryCertificateOfTheTestPki) {
  for (const char* name : {"root.pem", "intermediate.pem", "server.pem", "other-root.pem", "mirror.pem"}) {
    SCOPED_TRACE(name);
    const std::vector<std::string> pins = PinToolPins(name);
    ASSERT_EQ(pins.size(), 1u);
    const ScopedCertificate certificate = PkiCertificate(name);
    ASSERT_TRUE(certificate.Valid());
    std::string hex;
    ASSERT_TRUE(ComputeSpkiSha256Hex(certificate.Get(), &hex));
    EXPECT_EQ(hex, pins[0]);
  }
}

TEST(ComputeSpkiSha256Hex, ProfilePinIsTheIntermediatesAsThePinToolPrintsIt) {
  const std::vector<std::string> chain = PinToolPins("server-chain.pem");
  ASSERT_EQ(chain.size(), 2u);  // leaf, intermediate
  EXPECT_EQ(chain[1], ServerKeyPin());
  EXPECT_TRUE(test::FileHolds(test::DosPathOf(kPki + "intermediate.pin"), chain[1] + "\n"));
}

TEST(ComputeSpkiSha256Hex, FailsWithoutCertificateOrOutputAndLeavesTheOutputAlone) {
  const ScopedCertificate certificate = PkiCertificate("server.pem");
  ASSERT_TRUE(certificate.Valid());
  std::string hex = "unchanged";
  EXPECT_FALSE(ComputeSpkiSha256Hex(nullptr, &hex));
  EXPECT_EQ(hex, "unchanged");
  EXPECT_FALSE(ComputeSpkiSha256Hex(certificate.Get(), nullptr));
  CERT_CONTEXT withoutInfo = *certificate.Get();
  withoutInfo.pCertInfo = nullptr;
  EXPECT_FALSE(ComputeSpkiSha256Hex(&withoutInfo, &hex));
  EXPECT_EQ(hex, "unchanged");
}

// A download with the given pin in place of the profile's.
struct PinnedFetch {
  bool ok;
  std::string error;
};

class SandboxPinTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.Valid()) << test::kOutsideSandbox;
    path = server.Publish("manifest.json", "{\"releaseVersion\":\"1.1.8\"}");
  }
  PinnedFetch Fetch(const std::string& host, const std::string& pin,
                    const WinHttpApi& (*api)() = &GetWinHttpApi) const {
    DownloadCalls calls;
    calls.winHttpApi = api;
    calls.serverKeyPin = pin.c_str();
    PinnedFetch f{};
    f.ok = HttpsDownloader("https://" + host + path).Download(local / L"m.json", 65536, {}, &f.error, calls);
    return f;
  }

  test::SandboxFolder server;
  test::TempFolder local;
  std::string path;
};

TEST_F(SandboxPinTest, LeafIntermediateAndRootEachPassWhenPinnedInEitherCase) {
  for (const char* name : {"server.pem", "intermediate.pem", "root.pem"}) {
    const std::vector<std::string> pins = PinToolPins(name);
    ASSERT_EQ(pins.size(), 1u);
    for (const std::string& pin : {pins[0], Upper(pins[0])}) {
      SCOPED_TRACE(std::string(name) + " " + pin);
      const PinnedFetch f = Fetch("downloads.velmora.test", pin);
      EXPECT_TRUE(f.ok) << f.error;
      // The same pin does not carry over to a chain without that key.
      EXPECT_EQ(Fetch("mirror.velmora.test", pin).error, kMirrorMismatch);
    }
  }
}

TEST_F(SandboxPinTest, PinOfAnotherLengthNeverMatches) {
  const std::string pin = PinToolPins("intermediate.pem").at(0);
  for (const std::string& wrong : {pin.substr(0, 63), pin + "0", pin + pin, std::string("1")}) {
    SCOPED_TRACE(wrong);
    EXPECT_EQ(Fetch("downloads.velmora.test", wrong).error,
              test::PinMismatchText("downloads.velmora.test", "Velmora Sandbox Issuing CA"));
  }
}

TEST_F(SandboxPinTest, ChainWithoutThePinnedKeyFailsThoughItsOwnRootIsTrusted) {
  const PinnedFetch f = Fetch("mirror.velmora.test", ServerKeyPin());
  EXPECT_FALSE(f.ok);
  EXPECT_EQ(f.error, kMirrorMismatch);
  // Its own root pinned, the same chain passes: trust was never the issue.
  EXPECT_TRUE(Fetch("mirror.velmora.test", PinToolPins("other-root.pem").at(0)).ok);
}

// The table's WinHttpQueryOption is wrapped at the seam, to count the certificate queries or
// to refuse them; everything else is the real WinHTTP.
int certificateQueries = 0;
bool refuseCertificate = false;

BOOL WINAPI WatchedQueryOption(HINTERNET handle, DWORD option, LPVOID buffer, LPDWORD length) {
  if (option == WINHTTP_OPTION_SERVER_CERT_CONTEXT) {
    ++certificateQueries;
    if (refuseCertificate) {
      SetLastError(ERROR_WINHTTP_INCORRECT_HANDLE_STATE);
      return FALSE;
    }
  }
  return GetWinHttpApi().WinHttpQueryOption(handle, option, buffer, length);
}

const WinHttpApi& WatchedApi() {
  static const WinHttpApi api = [] {
    WinHttpApi copy = GetWinHttpApi();
    copy.WinHttpQueryOption = &WatchedQueryOption;
    return copy;
  }();
  return api;
}

TEST_F(SandboxPinTest, AllZeroPinFailsWithoutQueryingTheCertificateAtSeam) {
  certificateQueries = 0;
  const PinnedFetch zero = Fetch("downloads.velmora.test", std::string(64, '0'), &WatchedApi);
  EXPECT_FALSE(zero.ok);
  EXPECT_EQ(zero.error, "SPKI pin is not configured");
  EXPECT_EQ(certificateQueries, 0);

  const PinnedFetch pinned = Fetch("downloads.velmora.test", ServerKeyPin(), &WatchedApi);
  EXPECT_TRUE(pinned.ok) << pinned.error;
  EXPECT_EQ(certificateQueries, 1);
}

TEST_F(SandboxPinTest, RefusedCertificateQueryAtSeamFailsTheDownloadBeforeTheFile) {
  refuseCertificate = true;
  test::WriteWholeFile(local / L"m.json", "previous");
  const PinnedFetch f = Fetch("downloads.velmora.test", ServerKeyPin(), &WatchedApi);
  refuseCertificate = false;
  EXPECT_FALSE(f.ok);
  EXPECT_EQ(f.error, "Server certificate context unavailable");
  EXPECT_TRUE(test::FileHolds(local / L"m.json", "previous"));
}

// Chains that carry the pinned key but cannot be validated: WinHTTP refuses them in the
// handshake, before any request, so the pin is never looked at.
TEST_F(SandboxPinTest, ChainsCarryingThePinnedKeyThatFailValidationAreRefusedBeforeThePin) {
  struct Case {
    const char* chain;
    const char* host;
  };
  for (const Case& c :
       {Case{"cross-signed", "archive.velmora.test"}, Case{"wrong-name", "cdn.velmora.test"}}) {
    SCOPED_TRACE(c.chain);
    ASSERT_TRUE(test::SetServerChains(std::string("{\"") + c.host + "\": \"" + c.chain + "\"}"));
    certificateQueries = 0;
    // The request log is the whole test run's: only what this fetch adds counts.
    const std::size_t logged = test::ServerRequestLog().size();
    const PinnedFetch f = Fetch(c.host, ServerKeyPin(), &WatchedApi);
    test::SetServerChains("");
    EXPECT_FALSE(f.ok);
    EXPECT_EQ(f.error.rfind("Update download request failed (code ", 0), 0u) << f.error;
    EXPECT_EQ(certificateQueries, 0);
    EXPECT_EQ(test::ServerRequestLog().find(std::string(c.host) + " GET", logged), std::string::npos);
    // With its own chain back, the same host passes.
    EXPECT_TRUE(Fetch(c.host, ServerKeyPin()).ok);
  }
}

// The handshake carries the pinned intermediate as an extra certificate, but the chain built
// from the mirror's leaf does not use it: only the built chain counts.
TEST_F(SandboxPinTest, PinnedCertificateSentButOutsideTheBuiltChainIsAMismatch) {
  ASSERT_TRUE(test::SetServerChains(R"({"mirror.velmora.test": "pinned-extra"})"));
  certificateQueries = 0;
  const PinnedFetch f = Fetch("mirror.velmora.test", ServerKeyPin(), &WatchedApi);
  test::SetServerChains("");
  EXPECT_FALSE(f.ok);
  EXPECT_EQ(f.error, kMirrorMismatch);
  EXPECT_EQ(certificateQueries, 1);
  EXPECT_NE(test::ServerRequestLog().find("mirror.velmora.test GET"), std::string::npos);
}

// What a TLS-inspecting proxy or antivirus presents: a chain the machine trusts, for the right
// name, without the pinned key. The reason names the inspection CA, so that support can tell it
// from an attack.
TEST_F(SandboxPinTest, InterceptorTheMachineTrustsFailsThePinAndIsNamedByItsIssuer) {
  ASSERT_TRUE(test::SetServerChains(R"({"downloads.velmora.test": "interceptor"})"));
  const std::size_t logged = test::ServerRequestLog().size();
  const PinnedFetch f = Fetch("downloads.velmora.test", ServerKeyPin());
  test::SetServerChains("");
  EXPECT_FALSE(f.ok);
  EXPECT_EQ(f.error, test::PinMismatchText("downloads.velmora.test", "Velmora Sandbox Inspection CA"));
  // The handshake succeeded: the chain validated and the request reached the server.
  EXPECT_NE(test::ServerRequestLog().find("downloads.velmora.test GET " + path, logged), std::string::npos);
  // Its own root pinned, the interceptor's chain passes: only the pin tells it apart.
  ASSERT_TRUE(test::SetServerChains(R"({"downloads.velmora.test": "interceptor"})"));
  const PinnedFetch pinned = Fetch("downloads.velmora.test", PinToolPins("other-root.pem").at(0));
  test::SetServerChains("");
  EXPECT_TRUE(pinned.ok) << pinned.error;
}

TEST_F(SandboxPinTest, ProgramCallsPinTheProfileKey) {
  std::string error;
  EXPECT_TRUE(
      HttpsDownloader("https://downloads.velmora.test" + path).Download(local / L"m.json", 65536, {}, &error))
      << error;
  EXPECT_FALSE(
      HttpsDownloader("https://mirror.velmora.test" + path).Download(local / L"m.json", 65536, {}, &error));
  EXPECT_EQ(error, kMirrorMismatch);
}

}  // namespace
}  // namespace velmora

#include "workflow/worker.h"

#include <gtest/gtest.h>

#include "profile/vendor_profile.h"
#include "captured_log.h"
#include "fake_worker_calls.h"
#include "recorded_posts.h"
#include "workflow/installer_manifest.h"
#include "workflow/package_cache.h"

namespace velmora {
namespace {

using test::FakeMachine;
using test::ManifestText;
using test::ScriptedDownload;

WindowHandle const kWindow = reinterpret_cast<WindowHandle>(0x77);
const std::string kMsi = std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + "package bytes";
const std::string kDigest = "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef";
const std::string kPackageUrl = "https://cdn.velmora.test/downloads/Velmora-Setup-1.1.8-x64.msi";
const std::string kManifest = ManifestText("1.1.8", kPackageUrl, kDigest, ", \"exeSize\": 4096");
const std::string kManifestLine =
    "Manifest version=1.1.8 url=" + kPackageUrl + " sha256=" + kDigest + " fallback=0.";
const std::wstring kProductCode = L"{6A1F0C2B-0D55-4E0B-9F35-2B1D7C7A8E01}";
// A publisher key as the profile gives it, once read: the pin of the code-signing key.
const std::string kPublisherKey = "8ac55c5e372f907cf225ab037d114412981f47cd4c244a418ab47231dc0cc08e";
const std::wstring kFailurePrefix =
    L"Could not download the Velmora installer. If you use a proxy, VPN, or antivirus web shield, "
    L"allow Velmora Setup and try again. ";

class WorkerWithFakeMachineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSetupState(kWindow);
    CapturedLog().clear();
    machine.digests[kMsi] = kDigest;
  }
  void TearDown() override { ResetSetupState(nullptr); }

  void ServeManifest(const std::string& text = kManifest) {
    machine.httpsDownloads.push_back({true, text, "", {}});
  }
  void ServePackage(const std::string& body = kMsi) {
    machine.httpsDownloads.push_back({true, body, "", {{0, body.size()}, {body.size(), body.size()}}});
  }
  void FailDownload(const std::string& error) { machine.httpsDownloads.push_back({false, "", error, {}}); }

  void Run() { RunSetup(machine.Calls()); }

  const std::vector<std::string>& Log() const { return CapturedLog(); }
  bool Logged(const std::string& line) const {
    return std::find(Log().begin(), Log().end(), line) != Log().end();
  }
  std::vector<std::uint32_t> FinalMessages() const {
    std::vector<std::uint32_t> messages;
    for (const RecordedPost& post : RecordedPosts()) {
      if (post.message == WM_SETUP_FINISH || post.message == WM_SETUP_CLOSE) messages.push_back(post.message);
    }
    return messages;
  }
  // The log and the machine's steps of a fresh install of 1.1.8 that keeps its package.
  void ExpectFreshInstallLogAndSteps() const {
    const std::vector<std::string> expected = {
        "Setup started (PID 4242).",
        kManifestLine,
        "Installed version= expected_exe_size=4096 app_matches=1.",
        "Installer downloaded to C:\\Temp\\Velmora-Setup-4242.msi.",
        "Kept the package of Velmora 1.1.8 in the package cache.",
    };
    EXPECT_EQ(Log(), expected);
    EXPECT_EQ(machine.events, (std::vector<std::string>{"https " + DefaultManifestUrl() + " 65536",
                                                        "https " + kPackageUrl + " 536870912", "install",
                                                        "keep 1.1.8 " + kDigest}));
  }
  void ExpectNoTemporaryFilesLeft() const {
    EXPECT_EQ(machine.files.count(machine.ManifestPath()), 0u);
    EXPECT_EQ(machine.files.count(machine.PackagePath()), 0u);
  }

  FakeMachine machine;
};

TEST_F(WorkerWithFakeMachineTest, FreshInstallRunsEveryStepAndFinishesInstalled) {
  ServeManifest();
  ServePackage();
  Run();
  ExpectFreshInstallLogAndSteps();
  ASSERT_EQ(machine.strategyCalls.size(), 1u);
  EXPECT_EQ(machine.strategyCalls[0], (std::pair<std::wstring, bool>{machine.PackagePath(), false}));
  EXPECT_TRUE(machine.packagePresentAtInstall);
  EXPECT_TRUE(machine.packageLockedAtInstall) << "checked bytes stay put until msiexec is done";
  EXPECT_TRUE(machine.runFolderHeldAtInstall);
  EXPECT_EQ(machine.strategyLogFolders, std::vector<std::wstring>{machine.runFolder});
  EXPECT_TRUE(machine.locked.empty()) << "released, so that the package could be deleted";
  EXPECT_FALSE(machine.runFolderHeld) << "released when the run ends";
  EXPECT_EQ(machine.sweeps, 1);
  EXPECT_EQ(SetupOperation.load(), Operation::Install);
  EXPECT_EQ(SetupOutcome.load(), Outcome::Installed);
  EXPECT_FALSE(SetupBusy.load());
  EXPECT_EQ(CopyStatusText(), L"Install complete.");
  EXPECT_EQ(FinalMessages(), std::vector<std::uint32_t>{WM_SETUP_FINISH});
  ExpectNoTemporaryFilesLeft();
}

// A profile without signing keys reads a manifest as it always did: its "expires" key, even a
// past one, is one more key the reader passes over, and no signature is asked for.
TEST_F(WorkerWithFakeMachineTest, WithoutSigningKeysExpiresIsPassedOverAndNoSignatureIsAsked) {
  ServeManifest(
      ManifestText("1.1.8", kPackageUrl, kDigest, R"(, "exeSize": 4096, "expires": "2001-01-01T00:00:00Z")"));
  ServePackage();
  Run();
  ExpectFreshInstallLogAndSteps();
  EXPECT_EQ(SetupOutcome.load(), Outcome::Installed);
}

const std::string kSignedManifest =
    ManifestText("1.1.8", kPackageUrl, kDigest, R"(, "exeSize": 4096, "expires": "2027-02-01T00:00:00Z")");

// A vendor that signs: the signature comes from the manifest's URL plus ".sig", fetched by the
// same pinned downloader right after the manifest, and is checked over the manifest's bytes.
TEST_F(WorkerWithFakeMachineTest, SignedManifestIsCheckedWithEachKeyBeforeItIsUsed) {
  machine.signingKeys = {test::FakeKey(1), test::FakeKey(2)};
  machine.signedText = kSignedManifest;
  ServeManifest(kSignedManifest);
  machine.httpsDownloads.push_back({true, test::DerSignedBy(2), "", {}});
  ServePackage();
  Run();
  const std::vector<std::string> expected = {
      "Setup started (PID 4242).",
      "Manifest signature verified with signing key 2; expires=2027-02-01T00:00:00Z.",
      kManifestLine,
      "Installed version= expected_exe_size=4096 app_matches=1.",
      "Installer downloaded to C:\\Temp\\Velmora-Setup-4242.msi.",
      "Kept the package of Velmora 1.1.8 in the package cache.",
  };
  EXPECT_EQ(Log(), expected);
  EXPECT_EQ(machine.events, (std::vector<std::string>{
                                "https " + DefaultManifestUrl() + " 65536",
                                "https " + DefaultManifestUrl() + ".sig 4096", "verify 1", "verify 2",
                                "https " + kPackageUrl + " 536870912", "install", "keep 1.1.8 " + kDigest}));
  EXPECT_EQ(machine.files.count(machine.ManifestPath() + L".sig"), 0u);
  EXPECT_EQ(SetupOutcome.load(), Outcome::Installed);
}

// What a host that holds the TLS key but no signing key can serve: each attempt fails with its
// own reason, and after three the built-in manifest is used, as for a host that is down.
TEST_F(WorkerWithFakeMachineTest, UnsignedForgedOrExpiredManifestFailsEachAttemptThenTheBuiltInOneIsUsed) {
  struct Case {
    const char* name;
    std::string manifest;    // served
    std::string signedText;  // what the signing key signed
    ScriptedDownload signature;
    std::string reason;
  };
  const std::string expired =
      ManifestText("1.1.8", kPackageUrl, kDigest, R"(, "expires": "2027-01-30T23:59:59Z")");
  std::string changed = kSignedManifest;
  changed[changed.find("1.1.8")] = '9';
  const std::vector<Case> cases = {
      {"signed with another key",
       kSignedManifest,
       kSignedManifest,
       {true, test::DerSignedBy(3), "", {}},
       "Installer manifest signature matches no manifest signing key"},
      {"no signature",
       kSignedManifest,
       kSignedManifest,
       {false, "", "Update server returned HTTP 404", {}},
       "Could not download the manifest signature: Update server returned HTTP 404"},
      {"a byte changed after signing",
       changed,
       kSignedManifest,
       {true, test::DerSignedBy(1), "", {}},
       "Installer manifest signature matches no manifest signing key"},
      {"a page for a signature",
       kSignedManifest,
       kSignedManifest,
       {true, "<html></html>", "", {}},
       "Installer manifest signature is malformed (13 bytes, not a DER ECDSA P-256 signature)"},
      {"expired",
       expired,
       expired,
       {true, test::DerSignedBy(1), "", {}},
       "Installer manifest expired at 2027-01-30T23:59:59Z"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    machine = FakeMachine();
    ResetSetupState(kWindow);
    machine.digests[kMsi] = BuiltInManifest().packageSha256;
    machine.signingKeys = {test::FakeKey(1), test::FakeKey(2)};
    machine.signedText = c.signedText;
    CapturedLog().clear();
    for (int attempt = 0; attempt < 3; ++attempt) {
      ServeManifest(c.manifest);
      machine.httpsDownloads.push_back(c.signature);
    }
    ServePackage();
    Run();
    ASSERT_GE(Log().size(), 6u);
    for (int attempt = 1; attempt <= 3; ++attempt) {
      EXPECT_EQ(Log()[attempt],
                "Manifest download attempt " + std::to_string(attempt) + " failed: " + c.reason + ".");
    }
    EXPECT_EQ(Log()[4], "Using built-in installer manifest fallback.");
    EXPECT_EQ(Log()[5].rfind("Manifest version=1.1.7 ", 0), 0u) << Log()[5];
    EXPECT_EQ(SetupOutcome.load(), Outcome::Installed);
    ExpectNoTemporaryFilesLeft();
    EXPECT_EQ(machine.files.count(machine.ManifestPath() + L".sig"), 0u);
  }
}

TEST_F(WorkerWithFakeMachineTest, DecisionTableSetsOperationLogLineAndRemoveFirst) {
  struct Case {
    const char* name;
    std::map<std::wstring, std::wstring> registry;
    bool exeMatches;
    Operation operation;
    const char* line;  // nullptr: no decision line
    bool removeFirst;
  };
  const std::vector<Case> cases = {
      {"fresh", {}, true, Operation::Install, nullptr, false},
      {"update",
       {{L"Version", L"1.0.0"}, {L"ProductCode", kProductCode}},
       true,
       Operation::Update,
       nullptr,
       false},
      {"letters only", {{L"Version", L"abc"}}, true, Operation::Update, nullptr, false},
      {"no version",
       {{L"ProductCode", kProductCode}},
       true,
       Operation::Repair,
       "Installed version is missing; cleaning the previous product before installation.",
       true},
      {"same version, other exe",
       {{L"Version", L"1.1.8"}, {L"ProductCode", kProductCode}},
       false,
       Operation::Repair,
       "Same version but installed EXE does not match; reinstalling.",
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    machine = FakeMachine();
    ResetSetupState(kWindow);
    machine.digests[kMsi] = kDigest;
    machine.registry = c.registry;
    machine.exeMatches = c.exeMatches;
    ServeManifest();
    ServePackage();
    Run();
    EXPECT_EQ(SetupOperation.load(), c.operation);
    EXPECT_EQ(Logged(c.line ? c.line : ""), c.line != nullptr);
    ASSERT_EQ(machine.strategyCalls.size(), 1u);
    EXPECT_EQ(machine.strategyCalls[0].second, c.removeFirst);
    EXPECT_EQ(SetupOutcome.load(), Outcome::Installed);
  }
}

TEST_F(WorkerWithFakeMachineTest, CurrentBuildFinishesUpToDateWithoutDownloadingThePackage) {
  for (const auto& [installed, matches] :
       std::vector<std::pair<std::wstring, bool>>{{L"1.1.8", true}, {L"1.2.0", false}}) {
    SetUp();
    machine = FakeMachine();
    machine.registry = {{L"Version", installed}, {L"ProductCode", kProductCode}};
    machine.exeMatches = matches;
    ServeManifest();
    Run();
    EXPECT_EQ(Log().back(), "Installed build is current; opening Velmora.");
    EXPECT_EQ(SetupOperation.load(), Operation::UpToDate);
    EXPECT_EQ(SetupOutcome.load(), Outcome::UpToDate);
    EXPECT_EQ(machine.events.size(), 1u) << "only the manifest was fetched";
    EXPECT_EQ(FinalMessages(), std::vector<std::uint32_t>{WM_SETUP_FINISH});
    EXPECT_EQ(CopyStatusText(), L"Checking for the latest Velmora installer...");
  }
}

TEST_F(WorkerWithFakeMachineTest, ManifestServerFailingTwiceIsRetriedAfterPauses) {
  FailDownload("Update server returned HTTP 500");
  FailDownload("");
  ServeManifest();
  ServePackage();
  Run();
  ASSERT_GE(Log().size(), 4u);
  EXPECT_EQ(Log()[1], "Manifest download attempt 1 failed: Update server returned HTTP 500.");
  EXPECT_EQ(Log()[2], "Manifest download attempt 2 failed: Could not reach the update server.");
  EXPECT_EQ(Log()[3], kManifestLine);
  EXPECT_EQ(std::vector<std::string>(machine.events.begin(), machine.events.begin() + 5),
            (std::vector<std::string>{"https " + DefaultManifestUrl() + " 65536", "sleep 600",
                                      "https " + DefaultManifestUrl() + " 65536", "sleep 600",
                                      "https " + DefaultManifestUrl() + " 65536"}));
  EXPECT_EQ(SetupOutcome.load(), Outcome::Installed);
}

TEST_F(WorkerWithFakeMachineTest, ThreeFailedAttemptsFallBackToTheBuiltInManifest) {
  for (int i = 0; i < 3; ++i) FailDownload("Update exceeds the maximum download size");
  machine.digests[kMsi] = BuiltInManifest().packageSha256;
  ServePackage();
  Run();
  EXPECT_EQ(Log()[3], "Manifest download attempt 3 failed: Update exceeds the maximum download size.");
  EXPECT_EQ(Log()[4], "Using built-in installer manifest fallback.");
  const InstallerManifest& builtIn = BuiltInManifest();
  EXPECT_EQ(Log()[5], "Manifest version=1.1.7 url=" + builtIn.packageUrl +
                          " sha256=" + builtIn.packageSha256 + " fallback=1.");
  EXPECT_EQ(Log()[6], "Installed version= expected_exe_size=36547584 app_matches=1.");
  EXPECT_EQ(machine.events[5], "https " + builtIn.packageUrl + " 536870912");
}

TEST_F(WorkerWithFakeMachineTest, InvalidManifestIsLoggedAndReplacedWhole) {
  ServeManifest(ManifestText("9.9.9", "https://cdn.velmora.test/setup.exe", kDigest));
  machine.digests[kMsi] = BuiltInManifest().packageSha256;
  ServePackage();
  Run();
  EXPECT_EQ(Log()[1],
            "Installer manifest is invalid. version='9.9.9' url='https://cdn.velmora.test/setup.exe'.");
  EXPECT_EQ(Log()[2], "Using built-in installer manifest fallback.");
  EXPECT_NE(Log()[3].find("version=1.1.7 "), std::string::npos)
      << "no value of the rejected manifest survives";
  EXPECT_EQ(machine.files.count(machine.ManifestPath()), 0u);
}

TEST_F(WorkerWithFakeMachineTest, DiagnosticSwitchMakesNoRequestForTheManifest) {
  ForceFallbackManifest = true;
  machine.registry = {{L"Version", L"1.1.7"}};
  Run();
  EXPECT_EQ(Log()[1], "Manifest download skipped by diagnostic fallback flag.");
  EXPECT_EQ(Log()[2], "Using built-in installer manifest fallback.");
  EXPECT_NE(Log()[3].find(" fallback=1."), std::string::npos);
  EXPECT_TRUE(machine.events.empty());
  EXPECT_EQ(SetupOutcome.load(), Outcome::UpToDate);
}

TEST_F(WorkerWithFakeMachineTest, ManifestWithoutExeSizeIsAcceptedWithZero) {
  ServeManifest(ManifestText("1.1.8", kPackageUrl, kDigest));
  machine.exeMatches = false;  // a size of 0 switches the test off
  machine.registry = {{L"Version", L"1.1.8"}};
  Run();
  EXPECT_EQ(Log()[2], "Installed version=1.1.8 expected_exe_size=0 app_matches=1.");
  EXPECT_EQ(SetupOutcome.load(), Outcome::UpToDate);
}

TEST_F(WorkerWithFakeMachineTest, UnreadableManifestFileCountsAsAFailedAttempt) {
  WorkerCalls calls = machine.Calls();
  int reads = 0;
  const auto read = calls.readManifestFile;
  calls.readManifestFile = [&](const std::wstring& path, std::string& text) {
    return ++reads > 1 && read(path, text);
  };
  ServeManifest();
  ServeManifest();
  ServePackage();
  RunSetup(calls);
  EXPECT_EQ(Log()[1], "Manifest download attempt 1 failed: Could not read the installer manifest.");
  EXPECT_EQ(Log()[2], kManifestLine);
}

TEST_F(WorkerWithFakeMachineTest, NoRunFolderFailsAtOnce) {
  machine.runFolderAvailable = false;
  Run();
  EXPECT_EQ(Log(), std::vector<std::string>{"Setup started (PID 4242)."});
  EXPECT_EQ(CopyErrorText(), L"Windows could not provide a temporary folder.");
  EXPECT_EQ(SetupOutcome.load(), Outcome::Failed);
  EXPECT_EQ(FinalMessages(), std::vector<std::uint32_t>{WM_SETUP_CLOSE});
  EXPECT_TRUE(machine.events.empty());
}

TEST_F(WorkerWithFakeMachineTest, BothDownloadersFailingEndWithTheDownloadMessage) {
  // Each log line quoting an error ends with one full stop, whether or not the error had one.
  struct Case {
    std::string systemError;
    std::wstring shown;
    std::string systemLine;
    std::string failedLine;
  };
  for (const Case& c :
       {Case{"Windows downloader failed (0x800C0005).", L"Windows downloader failed (0x800C0005).",
             "Windows downloader failed: Windows downloader failed (0x800C0005).",
             "Installer download failed: Windows downloader failed (0x800C0005)."},
        Case{"", L"Update server returned HTTP 404", "Windows downloader failed: .",
             "Installer download failed: Update server returned HTTP 404."}}) {
    SetUp();
    machine = FakeMachine();
    machine.systemDownload.error = c.systemError;
    ServeManifest();
    FailDownload("Update server returned HTTP 404");
    FailDownload("Update server returned HTTP 404");
    Run();
    const std::vector<std::string> tail(Log().end() - 4, Log().end());
    EXPECT_EQ(tail, (std::vector<std::string>{
                        "Installer download attempt 1 failed: Update server returned HTTP 404.",
                        "Installer download attempt 2 failed: Update server returned HTTP 404.", c.systemLine,
                        c.failedLine}));
    EXPECT_EQ(CopyErrorText(), kFailurePrefix + c.shown);
    EXPECT_EQ(CopyStatusText(), L"Downloading with Windows network settings...");
    EXPECT_EQ(machine.events.back(), "system " + kPackageUrl);
    EXPECT_EQ(SetupOutcome.load(), Outcome::Failed);
    ExpectNoTemporaryFilesLeft();
  }
}

TEST_F(WorkerWithFakeMachineTest, SystemDownloaderRescuesThePackageAfterTwoPinnedFailures) {
  ServeManifest();
  FailDownload("SPKI pin mismatch");
  FailDownload("SPKI pin mismatch");
  machine.systemDownload = {true, kMsi, "", {}};
  Run();
  EXPECT_TRUE(Logged("Windows downloader completed the installer download."));
  EXPECT_EQ(SetupOutcome.load(), Outcome::Installed);
  EXPECT_EQ(RecordedPosts().end()[-4], (RecordedPost{kWindow, WM_SETUP_PROGRESS, 100}));
  ExpectNoTemporaryFilesLeft();
}

TEST_F(WorkerWithFakeMachineTest, HtmlInsteadOfAPackageFailsTheMsiCheck) {
  ServeManifest();
  ServePackage("<html><body>Sign in to the hotel wifi</body></html>");
  Run();
  EXPECT_EQ(Log().back(), "Downloaded file is not an MSI.");
  EXPECT_EQ(CopyErrorText(), L"The downloaded file is not a valid Velmora MSI installer.");
  EXPECT_TRUE(machine.strategyCalls.empty());
  ExpectNoTemporaryFilesLeft();
}

TEST_F(WorkerWithFakeMachineTest, PackageThatCannotBeLockedIsNeverChecked) {
  ServeManifest();
  ServePackage();
  machine.locked.insert(machine.PackagePath());  // another process holds it open for writing
  Run();
  EXPECT_EQ(Log().back(), "Downloaded file is not an MSI.");
  EXPECT_EQ(CopyErrorText(), L"The downloaded file is not a valid Velmora MSI installer.");
  EXPECT_TRUE(machine.strategyCalls.empty());
}

TEST_F(WorkerWithFakeMachineTest, DigestMismatchLogsBothDigests) {
  ServeManifest();
  ServePackage(kMsi + "tampered");
  Run();
  EXPECT_EQ(Log().back(),
            "Downloaded MSI hash mismatch. expected=" + kDigest + " actual=" + std::string(64, 'e') + ".");
  EXPECT_EQ(CopyErrorText(), L"The downloaded installer failed its integrity check.");
  EXPECT_TRUE(machine.strategyCalls.empty());
  ExpectNoTemporaryFilesLeft();
}

TEST_F(WorkerWithFakeMachineTest, PublisherIsCheckedAfterTheDigestUnderTheLockBeforeMsiexec) {
  machine.publisherKeys = {kPublisherKey};
  machine.publisherSigned[kMsi] = "Velmora Sandbox Publisher (key 8ac5)";
  ServeManifest();
  ServePackage();
  Run();
  ASSERT_GE(machine.events.size(), 4u);
  EXPECT_EQ(std::vector<std::string>(machine.events.begin(), machine.events.begin() + 4),
            (std::vector<std::string>{"https " + DefaultManifestUrl() + " 65536",
                                      "https " + kPackageUrl + " 536870912", "publisher", "install"}));
  EXPECT_TRUE(machine.packageLockedAtPublisherCheck);
  const auto signedLine =
      std::find(Log().begin(), Log().end(),
                "Downloaded MSI is signed by its publisher: Velmora Sandbox Publisher (key 8ac5).");
  ASSERT_NE(signedLine, Log().end());
  ASSERT_NE(signedLine + 1, Log().end());
  EXPECT_EQ(signedLine[1], "Installer downloaded to C:\\Temp\\Velmora-Setup-4242.msi.");
  EXPECT_EQ(SetupOutcome.load(), Outcome::Installed);
}

// Whichever downloader brought it, a package the publisher did not sign never reaches msiexec.
TEST_F(WorkerWithFakeMachineTest, PackageNotSignedByThePublisherIsRefusedOnBothDownloadPaths) {
  for (const bool systemDownloader : {false, true}) {
    SCOPED_TRACE(systemDownloader ? "system downloader" : "pinned downloader");
    ResetSetupState(kWindow);
    CapturedLog().clear();
    machine = FakeMachine();
    machine.digests[kMsi] = kDigest;
    machine.publisherKeys = {kPublisherKey};
    ServeManifest();
    if (systemDownloader) {
      FailDownload("SPKI pin mismatch");
      FailDownload("SPKI pin mismatch");
      machine.systemDownload = {true, kMsi, "", {}};
    } else {
      ServePackage();
    }
    Run();
    EXPECT_EQ(Log().back(), "Downloaded MSI publisher check failed: the package is not signed (0x800B0100).");
    EXPECT_EQ(CopyErrorText(), L"The downloaded installer is not signed by its publisher.");
    EXPECT_EQ(SetupOutcome.load(), Outcome::Failed);
    EXPECT_EQ(SetupFailureCause.load(), FailureCause::PackageCheck);  // the package failed its check
    EXPECT_TRUE(machine.strategyCalls.empty());
    EXPECT_EQ(machine.events.back(), "publisher");
    ExpectNoTemporaryFilesLeft();
  }
}

TEST_F(WorkerWithFakeMachineTest, DigestMismatchIsReportedBeforeThePublisherIsAskedFor) {
  machine.publisherKeys = {kPublisherKey};
  ServeManifest();
  ServePackage(kMsi + "tampered");
  Run();
  EXPECT_EQ(Log().back(),
            "Downloaded MSI hash mismatch. expected=" + kDigest + " actual=" + std::string(64, 'e') + ".");
  EXPECT_EQ(std::count(machine.events.begin(), machine.events.end(), "publisher"), 0);
}

TEST_F(WorkerWithFakeMachineTest, FailedInstallStrategyClosesWithInstallFailed) {
  machine.strategyResult = InstallResult::Failed;
  machine.registry = {{L"Version", L"1.0.0"}};
  ServeManifest();
  ServePackage();
  Run();
  EXPECT_EQ(SetupOperation.load(), Operation::Update);
  EXPECT_EQ(SetupOutcome.load(), Outcome::InstallFailed);
  EXPECT_TRUE(CopyErrorText().empty());
  EXPECT_EQ(CopyStatusText(), L"Download complete. Starting the Velmora installer...");
  EXPECT_EQ(FinalMessages(), std::vector<std::uint32_t>{WM_SETUP_CLOSE});
  ExpectNoTemporaryFilesLeft();
}

// What the exit code of an unattended run is made from: each ending keeps its cause, and only
// an install that Windows Installer finished with 3010 or 1641 asks for a restart.
TEST_F(WorkerWithFakeMachineTest, EachEndingKeepsItsCauseAndTheRestartRequest) {
  const struct {
    const char* name;
    std::string package;  // empty: both downloaders fail
    InstallResult result;
    std::uint32_t installExitCode;
    Outcome outcome;
    FailureCause cause;
    bool restart;
  } cases[] = {
      {"installed", kMsi, InstallResult::Installed, 0, Outcome::Installed, FailureCause::None, false},
      {"installed, restart required", kMsi, InstallResult::Installed, 3010, Outcome::Installed,
       FailureCause::None, true},
      {"installed, restart started", kMsi, InstallResult::Installed, 1641, Outcome::Installed,
       FailureCause::None, true},
      {"download failed", "", InstallResult::Installed, 0, Outcome::Failed, FailureCause::Download, false},
      {"not a package", "<html></html>", InstallResult::Installed, 0, Outcome::Failed,
       FailureCause::PackageCheck, false},
      {"wrong digest", kMsi + "x", InstallResult::Installed, 0, Outcome::Failed, FailureCause::PackageCheck,
       false},
      {"installer failed", kMsi, InstallResult::Failed, 1603, Outcome::InstallFailed, FailureCause::Installer,
       false},
      {"cancelled", kMsi, InstallResult::Failed, 1602, Outcome::InstallFailed,
       FailureCause::InstallerCancelled, false},
      {"busy", kMsi, InstallResult::Failed, 1618, Outcome::InstallFailed, FailureCause::AnotherInstallRunning,
       false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    machine = FakeMachine();
    machine.digests[kMsi] = kDigest;
    machine.strategyResult = c.result;
    machine.installExitCode = c.installExitCode;
    ServeManifest();
    if (c.package.empty()) {
      FailDownload("Update server returned HTTP 404");
      FailDownload("Update server returned HTTP 404");
    } else {
      ServePackage(c.package);
    }
    Run();
    EXPECT_EQ(SetupOutcome.load(), c.outcome);
    EXPECT_EQ(SetupFailureCause.load(), c.cause);
    EXPECT_EQ(RestartRequired.load(), c.restart);
    EXPECT_EQ(Logged("Windows Installer asked for a restart of the computer (exit code " +
                     std::to_string(c.installExitCode) + ") to finish the install."),
              c.restart);
  }
}

const std::string kOldMsi = std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + "1.1.7 package bytes";
const std::string kOldDigest = "7777777777777777777777777777777777777777777777777777777777777777";

// An update from 1.1.7, with the package cache as the case gives it.
class PackageCacheTest : public WorkerWithFakeMachineTest {
 protected:
  void SetUp() override {
    WorkerWithFakeMachineTest::SetUp();
    machine.registry = {{L"Version", L"1.1.7"}, {L"ProductCode", kProductCode}};
    machine.digests[kOldMsi] = kOldDigest;
  }
  void KeepOld(const std::string& record = DigestRecord(kOldDigest, L"Velmora-1.1.7.msi")) {
    machine.cache[L"1.1.7"] = {kOldMsi, record};
  }
};

TEST_F(PackageCacheTest, FailedUpdateRestoresTheKeptPreviousVersion) {
  KeepOld();
  machine.strategyResult = InstallResult::Restored;
  ServeManifest();
  ServePackage();
  Run();
  ASSERT_EQ(machine.strategyVersions.size(), 1u);
  EXPECT_EQ(machine.strategyVersions[0].previous, L"1.1.7");
  EXPECT_EQ(machine.strategyVersions[0].offered, L"1.1.8");
  EXPECT_EQ(machine.previousPackages, std::vector<std::wstring>{machine.CachedPath(L"1.1.7")});
  EXPECT_TRUE(machine.previousPackageLockedAtRestore) << "checked bytes stay put until msiexec is done";
  EXPECT_EQ(Log().back(), "Cached package of Velmora 1.1.7 passed its digest check: " +
                              std::string("C:\\ProgramData\\Velmora\\Setup\\Cache\\Velmora-1.1.7.msi."));
  EXPECT_EQ(machine.events.back(), "cache 1.1.7") << "nothing is kept after a failed update";
  EXPECT_EQ(SetupOutcome.load(), Outcome::Restored);
  EXPECT_EQ(FinalMessages(), std::vector<std::uint32_t>{WM_SETUP_CLOSE});
  EXPECT_TRUE(CopyErrorText().empty()) << "the strategy has told the user";
  EXPECT_TRUE(machine.locked.empty());
  ExpectNoTemporaryFilesLeft();
}

// Without a cache, or with one that fails its check, the strategy gets nothing to restore and
// the run ends as a failed install.
TEST_F(PackageCacheTest, MissingOrBrokenCacheGivesNothingToRestore) {
  struct Case {
    const char* name;
    bool keep;
    std::string record;
    std::string tamperedDigest;  // what the kept bytes now hash to; empty: unchanged
    std::string line;
  };
  const std::vector<Case> cases = {
      {"no cache", false, "", "", "No usable cached package of Velmora 1.1.7: there is no package cache."},
      {"changed package", true, DigestRecord(kOldDigest, L"Velmora-1.1.7.msi"), std::string(64, '9'),
       "Cached package of Velmora 1.1.7 failed its digest check. recorded=" + kOldDigest +
           " actual=" + std::string(64, '9') + "; not using it."},
      {"record of another file", true, DigestRecord(kOldDigest, L"Velmora-1.1.8.msi"), "",
       "The digest record of the cached package of Velmora 1.1.7 cannot be read; not using the package."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    machine = FakeMachine();
    SetUp();
    if (c.keep) KeepOld(c.record);
    if (!c.tamperedDigest.empty()) machine.digests[kOldMsi] = c.tamperedDigest;
    machine.strategyResult = InstallResult::Failed;
    ServeManifest();
    ServePackage();
    Run();
    EXPECT_EQ(Log().back(), c.line);
    EXPECT_TRUE(machine.previousPackages.empty());
    EXPECT_EQ(SetupOutcome.load(), Outcome::InstallFailed);
    EXPECT_TRUE(machine.locked.empty());
  }
}

// With publisher keys, a kept package is used only when the publisher signed it: it may have
// been kept by a program whose profile named none.
TEST_F(PackageCacheTest, KeptPackageIsUsedOnlyWhenThePublisherSignedIt) {
  for (const bool keptSigned : {false, true}) {
    SCOPED_TRACE(keptSigned ? "signed" : "unsigned");
    machine = FakeMachine();
    SetUp();
    KeepOld();
    machine.publisherKeys = {kPublisherKey};
    machine.publisherSigned[kMsi] = "Velmora Sandbox Publisher (key 8ac5)";
    if (keptSigned) machine.publisherSigned[kOldMsi] = "Velmora Sandbox Publisher (key 8ac5)";
    machine.strategyResult = keptSigned ? InstallResult::Restored : InstallResult::Failed;
    ServeManifest();
    ServePackage();
    Run();
    if (keptSigned) {
      EXPECT_EQ(machine.previousPackages, std::vector<std::wstring>{machine.CachedPath(L"1.1.7")});
      EXPECT_EQ(Log().back(),
                "Cached package of Velmora 1.1.7 is signed by its publisher: Velmora Sandbox Publisher (key "
                "8ac5).");
    } else {
      EXPECT_TRUE(machine.previousPackages.empty());
      EXPECT_EQ(Log().back(),
                "Cached package of Velmora 1.1.7 failed its publisher check: the package is not signed "
                "(0x800B0100); not using it.");
    }
    EXPECT_TRUE(machine.locked.empty());
  }
}

// A repair of the installed version takes the kept package when it is the one offered.
TEST_F(PackageCacheTest, RepairOfTheKeptVersionNeedsNoDownload) {
  machine.registry[L"Version"] = L"1.1.8";
  machine.exeMatches = false;
  machine.cache[L"1.1.8"] = {kMsi, DigestRecord(kDigest, L"Velmora-1.1.8.msi")};
  ServeManifest();
  Run();
  EXPECT_EQ(machine.events,
            (std::vector<std::string>{"https " + DefaultManifestUrl() + " 65536", "cache 1.1.8", "install"}));
  ASSERT_EQ(machine.strategyCalls.size(), 1u);
  EXPECT_EQ(machine.strategyCalls[0], (std::pair<std::wstring, bool>{machine.CachedPath(L"1.1.8"), true}));
  EXPECT_TRUE(machine.packageLockedAtInstall);
  EXPECT_TRUE(Logged("Repairing Velmora 1.1.8 with the cached package; nothing to download."));
  EXPECT_EQ(machine.files.count(machine.CachedPath(L"1.1.8")), 1u) << "the kept package stays";
  EXPECT_EQ(SetupOperation.load(), Operation::Repair);
  EXPECT_EQ(SetupOutcome.load(), Outcome::Installed);
}

// The same repair failing does not install the kept package a second time as a restore.
TEST_F(PackageCacheTest, FailedRepairFromTheCacheIsNotRestoredFromItAgain) {
  machine.registry[L"Version"] = L"1.1.8";
  machine.exeMatches = false;
  machine.cache[L"1.1.8"] = {kMsi, DigestRecord(kDigest, L"Velmora-1.1.8.msi")};
  machine.strategyResult = InstallResult::Failed;
  ServeManifest();
  Run();
  EXPECT_EQ(Log().back(),
            "The cached package of Velmora 1.1.8 is the one that failed; it is not installed again.");
  EXPECT_TRUE(machine.previousPackages.empty());
  EXPECT_EQ(SetupOutcome.load(), Outcome::InstallFailed);
}

// A kept package of the same version with another digest is not what the manifest offers: the
// offered one is downloaded, installed and kept in its place.
TEST_F(PackageCacheTest, RepairWithAnotherKeptDigestDownloadsAndKeepsTheOffered) {
  machine.registry[L"Version"] = L"1.1.8";
  machine.exeMatches = false;
  machine.cache[L"1.1.8"] = {kOldMsi, DigestRecord(kOldDigest, L"Velmora-1.1.8.msi")};
  ServeManifest();
  ServePackage();
  Run();
  EXPECT_TRUE(Logged(
      "The cached package of Velmora 1.1.8 is not the one the manifest offers; downloading that one."));
  EXPECT_EQ(machine.events, (std::vector<std::string>{"https " + DefaultManifestUrl() + " 65536",
                                                      "cache 1.1.8", "https " + kPackageUrl + " 536870912",
                                                      "install", "keep 1.1.8 " + kDigest}));
  EXPECT_EQ(machine.strategyCalls[0].first, machine.PackagePath());
  EXPECT_EQ(SetupOutcome.load(), Outcome::Installed);
}

// Keeping the package is never a reason to fail the run; a package that installed some other
// version than the manifest named is not kept at all.
TEST_F(PackageCacheTest, PackageNotKeptStillFinishesInstalled) {
  struct Case {
    const char* name;
    bool keepSucceeds;
    std::wstring versionAfter;
    std::string line;
  };
  const std::vector<Case> cases = {
      {"cache refused", false, L"1.1.8",
       "Could not keep the package of Velmora 1.1.8 in the package cache: the cache folder is not for "
       "administrators only."},
      {"other version installed", true, L"1.1.9",
       "Installed version 1.1.9 is not the offered 1.1.8; the package is not kept."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    machine = FakeMachine();
    SetUp();
    machine.keepSucceeds = c.keepSucceeds;
    ServeManifest();
    ServePackage();
    WorkerCalls calls = machine.Calls();
    const auto strategy = calls.runInstallStrategy;
    calls.runInstallStrategy = [&](const std::wstring& path, const std::wstring& folder, bool removeFirst,
                                   const InstallVersions& versions,
                                   const std::function<bool(std::wstring&)>& previous,
                                   std::uint32_t& lastExitCode) {
      const InstallResult result = strategy(path, folder, removeFirst, versions, previous, lastExitCode);
      machine.registry[L"Version"] = c.versionAfter;
      return result;
    };
    RunSetup(calls);
    EXPECT_EQ(Log().back(), c.line);
    EXPECT_EQ(SetupOutcome.load(), Outcome::Installed);
    ExpectNoTemporaryFilesLeft();
  }
}

TEST(PackageCacheNames, VersionsNameOnlyFilesOfTheirOwn) {
  EXPECT_EQ(CachedPackageName(L"1.1.8"), L"Velmora-1.1.8.msi");
  EXPECT_EQ(CachedPackageName(L"2024.10.3.7"), L"Velmora-2024.10.3.7.msi");
  for (const wchar_t* version : {L"", L"..\\..\\x", L"1.1.8 ", L"1/2", L"1.1.8:stream", L"v1"}) {
    EXPECT_EQ(CachedPackageName(version), L"") << testing::PrintToString(std::wstring(version));
  }
  EXPECT_EQ(CachedPackageName(std::wstring(64, L'1')).size(), 64u + 12u);
  EXPECT_EQ(CachedPackageName(std::wstring(65, L'1')), L"");
}

TEST(PackageCacheNames, DigestRecordReadsBackOnlyForItsOwnPackage) {
  const std::string record = DigestRecord(kDigest, L"Velmora-1.1.8.msi");
  EXPECT_EQ(record, kDigest + " *Velmora-1.1.8.msi\n");
  std::string digest;
  EXPECT_TRUE(ReadDigestRecord(record, L"Velmora-1.1.8.msi", digest));
  EXPECT_EQ(digest, kDigest);
  std::string upper = record;
  upper[0] = 'A';
  for (const std::string& text :
       {record.substr(0, record.size() - 1), record + "x", upper,
        std::string(64, 'g') + " *Velmora-1.1.8.msi\n", kDigest + "  Velmora-1.1.8.msi\n"}) {
    std::string out = "untouched";
    EXPECT_FALSE(ReadDigestRecord(text, L"Velmora-1.1.8.msi", out)) << text;
    EXPECT_EQ(out, "untouched");
  }
  EXPECT_FALSE(ReadDigestRecord(record, L"Velmora-1.1.7.msi", digest));
}

TEST_F(WorkerWithFakeMachineTest, RetriedPackageDownloadRestartsProgressAndSharesTheLastPercentage) {
  ServeManifest();
  machine.httpsDownloads.push_back(
      {false, "", "Update download read failed (code 12030)", {{0, 1000}, {400, 1000}}});
  machine.httpsDownloads.push_back({true, kMsi, "", {{0, 1000}, {400, 1000}, {1000, 1000}}});
  Run();
  std::vector<std::uintptr_t> percents;
  for (const RecordedPost& post : RecordedPosts()) {
    if (post.message == WM_SETUP_PROGRESS) percents.push_back(post.wParam);
  }
  EXPECT_EQ(percents, (std::vector<std::uintptr_t>{0, 40, 0, 40, 100, 100}));
  EXPECT_EQ(machine.events[1], "https " + kPackageUrl + " 536870912");
  EXPECT_EQ(machine.events[2], "sleep 600");
  EXPECT_TRUE(Logged("Installer download attempt 1 failed: Update download read failed (code 12030)."));
}

TEST_F(WorkerWithFakeMachineTest, DownloadStatusLinesCarryTheOfferedVersion) {
  ServeManifest();
  machine.httpsDownloads.push_back({true, kMsi, "", {{5242880, 10485760}}});
  WorkerCalls calls = machine.Calls();
  std::vector<std::wstring> statuses;
  const auto download = calls.httpsDownload;
  calls.httpsDownload = [&](const std::string& url, const std::wstring& path, std::uint64_t limit,
                            const DownloadProgress& progress, std::string* error) {
    statuses.push_back(CopyStatusText());
    const bool ok = download(url, path, limit, progress, error);
    statuses.push_back(CopyStatusText());
    return ok;
  };
  RunSetup(calls);
  ASSERT_EQ(statuses.size(), 4u);
  EXPECT_EQ(statuses[2], L"Downloading Velmora 1.1.8...");
  EXPECT_EQ(statuses[3], L"Downloading Velmora 1.1.8... 50%  (5.0 of 10.0 MB)");
  EXPECT_EQ(SetupOutcome.load(), Outcome::Installed);
}

// Cancelling is offered while the manifest and the package download, and withdrawn before
// anything is checked or installed.
TEST_F(WorkerWithFakeMachineTest, CancelIsOfferedOnlyWhileDownloading) {
  ServeManifest();
  FailDownload("Update download read failed (code 12030)");
  FailDownload("Update download read failed (code 12030)");
  machine.systemDownload = {true, kMsi, "", {}};
  Run();
  EXPECT_EQ(machine.cancelAtDownloads, std::vector<CancelState>(4, CancelState::Offered));
  EXPECT_EQ(machine.cancelAtInstall, CancelState::NotOffered);
  EXPECT_EQ(SetupCancel.load(), CancelState::NotOffered);
  EXPECT_EQ(SetupOutcome.load(), Outcome::Installed);

  // With the diagnostic switch the manifest is not downloaded, so nothing is offered for it.
  ResetSetupState(kWindow);
  machine = FakeMachine{};
  machine.digests[kMsi] = kDigest;
  ForceFallbackManifest = true;
  machine.httpsDownloads.push_back({false, "", "Update server returned HTTP 404", {}});
  machine.httpsDownloads.push_back({false, "", "Update server returned HTTP 404", {}});
  Run();
  EXPECT_EQ(machine.events[0], "https " + BuiltInManifest().packageUrl + " 536870912");
  EXPECT_EQ(machine.cancelAtDownloads, std::vector<CancelState>(3, CancelState::Offered));
}

// The user confirms the cancel during each kind of download: the run stops there, with no
// further attempt, no fallback and no install; the staged file is removed and the window is
// closed with the cancelled outcome.
TEST_F(WorkerWithFakeMachineTest, CancelDuringADownloadEndsTheRunThereAndRemovesTheStagedFile) {
  const ScriptedDownload cancelled{false, "partial", "Download cancelled by the user", {}, true};
  const ScriptedDownload failed{false, "", "Update download read failed (code 12030)", {}};
  struct Case {
    const char* name;
    std::vector<ScriptedDownload> https;
    ScriptedDownload system;
    std::vector<std::string> events;  // after the manifest's download, for the package's
    const char* line;
    bool manifestServed;
  };
  const std::string manifestEvent = "https " + DefaultManifestUrl() + " 65536";
  const std::string packageEvent = "https " + kPackageUrl + " 536870912";
  const std::vector<Case> cases = {
      {"manifest, first attempt",
       {cancelled},
       {},
       {manifestEvent},
       "Manifest download cancelled by the user.",
       false},
      {"manifest, second attempt",
       {failed, cancelled},
       {},
       {manifestEvent, "sleep 600", manifestEvent},
       "Manifest download cancelled by the user.",
       false},
      {"package, first attempt",
       {cancelled},
       {},
       {manifestEvent, packageEvent},
       "Installer download cancelled by the user.",
       true},
      {"package, second attempt",
       {failed, cancelled},
       {},
       {manifestEvent, packageEvent, "sleep 600", packageEvent},
       "Installer download cancelled by the user.",
       true},
      {"package, Windows downloader",
       {failed, failed},
       {false, "partial", "Windows downloader failed (0x80004004).", {}, true},
       {manifestEvent, packageEvent, "sleep 600", packageEvent, "system " + kPackageUrl},
       "Installer download cancelled by the user.",
       true},
      // The request came in as the last byte arrived: the worker still honours it.
      {"package, complete as the user confirmed",
       {{true, kMsi, "", {}, true}},
       {},
       {manifestEvent, packageEvent},
       "Installer download cancelled by the user.",
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ResetSetupState(kWindow);
    CapturedLog().clear();
    machine = FakeMachine{};
    machine.digests[kMsi] = kDigest;
    if (c.manifestServed) ServeManifest();
    for (const ScriptedDownload& download : c.https) machine.httpsDownloads.push_back(download);
    machine.systemDownload = c.system;
    Run();
    EXPECT_EQ(machine.events, c.events);
    EXPECT_EQ(machine.cancelsGranted, std::vector<bool>{true});
    EXPECT_TRUE(machine.strategyCalls.empty());
    EXPECT_EQ(SetupOutcome.load(), Outcome::Cancelled);
    EXPECT_FALSE(SetupBusy.load());
    EXPECT_EQ(FinalMessages(), std::vector<std::uint32_t>{WM_SETUP_CLOSE});
    EXPECT_TRUE(CopyErrorText().empty()) << "the user asked for it: no failure message";
    ASSERT_FALSE(Log().empty());
    EXPECT_EQ(Log().back(), c.line);
    // Neither the cancelled attempt nor any fallback is reported as a failure.
    for (const std::string& line : Log()) {
      EXPECT_EQ(line.find("failed: Download cancelled"), std::string::npos) << line;
      EXPECT_EQ(line.find("built-in"), std::string::npos) << line;
    }
    EXPECT_TRUE(machine.locked.empty());
    EXPECT_FALSE(machine.runFolderHeld);
    ExpectNoTemporaryFilesLeft();
  }
}

}  // namespace
}  // namespace velmora

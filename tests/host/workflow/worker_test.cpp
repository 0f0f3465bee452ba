#include "workflow/worker.h"

#include <gtest/gtest.h>

#include "profile/vendor_profile.h"
#include "captured_log.h"
#include "fake_worker_calls.h"
#include "recorded_posts.h"
#include "workflow/installer_manifest.h"

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
  const std::vector<std::string> expected = {
      "Setup started (PID 4242).",
      kManifestLine,
      "Installed version= expected_exe_size=4096 app_matches=1.",
      "Installer downloaded to C:\\Temp\\Velmora-Setup-4242.msi.",
  };
  EXPECT_EQ(Log(), expected);
  EXPECT_EQ(machine.events, (std::vector<std::string>{"https " + DefaultManifestUrl() + " 65536",
                                                      "https " + kPackageUrl + " 536870912", "install"}));
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

TEST_F(WorkerWithFakeMachineTest, FailedInstallStrategyClosesWithInstallFailed) {
  machine.installSucceeds = false;
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
    bool installSucceeds;
    std::uint32_t installExitCode;
    Outcome outcome;
    FailureCause cause;
    bool restart;
  } cases[] = {
      {"installed", kMsi, true, 0, Outcome::Installed, FailureCause::None, false},
      {"installed, restart required", kMsi, true, 3010, Outcome::Installed, FailureCause::None, true},
      {"installed, restart started", kMsi, true, 1641, Outcome::Installed, FailureCause::None, true},
      {"download failed", "", true, 0, Outcome::Failed, FailureCause::Download, false},
      {"not a package", "<html></html>", true, 0, Outcome::Failed, FailureCause::PackageCheck, false},
      {"wrong digest", kMsi + "x", true, 0, Outcome::Failed, FailureCause::PackageCheck, false},
      {"installer failed", kMsi, false, 1603, Outcome::InstallFailed, FailureCause::Installer, false},
      {"cancelled", kMsi, false, 1602, Outcome::InstallFailed, FailureCause::InstallerCancelled, false},
      {"busy", kMsi, false, 1618, Outcome::InstallFailed, FailureCause::AnotherInstallRunning, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    machine = FakeMachine();
    machine.digests[kMsi] = kDigest;
    machine.installSucceeds = c.installSucceeds;
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

}  // namespace
}  // namespace velmora

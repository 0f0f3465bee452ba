// Whole worker runs on the real machine, with no window: the sandbox server, the pinned
// downloader, the sample packages and Wine's msiexec.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>

#include "base/setup_state.h"
#include "net/win/file_integrity.h"
#include "profile/vendor_profile.h"
#include "msi/win/system_install_strategy.h"
#include "msi_support.h"
#include "sandbox_docroot.h"
#include "scenario_support.h"
#include "win_test_support.h"
#include "workflow/win/run_files.h"
#include "workflow/win/system_worker.h"
#include "workflow/worker.h"

namespace velmora {
namespace {

using test::InOrder;
using test::ManifestText;
using test::ScopedEnvironmentVariable;
using test::TempFolder;
using test::msi::InstalledValue;
using test::msi::SamplePackage;

std::string PackageDigest(const std::wstring& version) {
  return test::SamplePackageOf(test::Narrow(version)).sha256;
}

// A signed copy of the 1.1.8 package as the build made it: signer "publisher" or
// "other-publisher" of the sandbox PKI.
std::wstring SignedPackage(const std::string& signer) {
  return test::DriveZPathOf(std::string(VELMORA_BINARY_DIR) + "/packages/" + signer +
                            "/Velmora-Setup-1.1.8-x64.msi");
}

bool AnyStartsWith(const std::vector<std::string>& messages, const std::string& prefix) {
  return std::any_of(messages.begin(), messages.end(),
                     [&](const std::string& message) { return message.rfind(prefix, 0) == 0; });
}

std::string PublisherPin() {
  std::string pin = test::ReadWholeFile(
      test::DosPathOf(std::string(VELMORA_SOURCE_DIR) + "/tools/sandbox/pki/publisher.pin"));
  while (!pin.empty() && (pin.back() == '\n' || pin.back() == '\r')) pin.pop_back();
  return pin;
}

class WorkerScenario : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(test::SandboxDocroot().empty()) << "run inside tools/sandbox/with_sandbox.sh";
    ASSERT_FALSE(PackageDigest(L"1.1.8").empty());
  }
  void TearDown() override {
    test::UnpublishFile(L"installer\\manifest.json");
    test::UnpublishFile(L"downloads\\Velmora-Setup-1.1.8-x64.msi");
  }

  void Offer118(const std::string& digest = PackageDigest(L"1.1.8"), std::uint64_t exeSize = 0) {
    ASSERT_TRUE(test::PublishCopy(L"downloads\\Velmora-Setup-1.1.8-x64.msi", SamplePackage(L"1.1.8")));
    ASSERT_TRUE(test::PublishFile(
        L"installer\\manifest.json",
        ManifestText("1.1.8", "https://cdn.velmora.test/downloads/Velmora-Setup-1.1.8-x64.msi", digest,
                     exeSize)));
  }

  void PreInstall(const std::wstring& version) {
    const std::wstring msiexec = test::msi::SystemFolderPath() + L"\\msiexec.exe";
    ASSERT_EQ(
        test::msi::RunProgram(msiexec, L"msiexec.exe /i \"" + SamplePackage(version) + L"\" /qn /norestart"),
        0u);
    ASSERT_EQ(InstalledValue(L"Version"), version);
  }

  void Run() { RunSetup(SystemWorkerCalls()); }

  // The run as a profile naming the sandbox publisher's key has it.
  void RunCheckingThePublisher() {
    WorkerCalls calls = SystemWorkerCalls();
    calls.packagePublisherKeys = {PublisherPin()};
    RunSetup(calls);
  }

  // A host that holds the pinned TLS key but not the publisher's signing key: it serves its
  // package with a manifest whose digest matches it. urlPath may ask the server to misbehave.
  void OfferAsTheHostPleases(const std::wstring& package,
                             const std::string& urlPath = "/downloads/Velmora-Setup-1.1.8-x64.msi") {
    std::string digest;
    ASSERT_TRUE(ComputeFileSha256Hex(package, &digest));
    ASSERT_TRUE(test::PublishCopy(L"downloads\\Velmora-Setup-1.1.8-x64.msi", package));
    ASSERT_TRUE(test::PublishFile(L"installer\\manifest.json",
                                  ManifestText("1.1.8", "https://cdn.velmora.test" + urlPath, digest, 0)));
  }

  // Refused after the download and before msiexec: the installed 1.0.0 stays as it was.
  void ExpectRefusedBeforeMsiexec(const std::string& reason) {
    EXPECT_TRUE(InOrder(log.Messages(),
                        {"Installed version=1.0.0 ", "Downloaded MSI publisher check failed: " + reason}));
    EXPECT_FALSE(AnyStartsWith(log.Messages(), "Installer downloaded to "));
    EXPECT_EQ(log.Find("Repair path: trying install/upgrade first."), -1);
    EXPECT_EQ(SetupOutcome.load(), Outcome::Failed);
    EXPECT_EQ(CopyErrorText(), L"The downloaded installer is not signed by its publisher.");
    EXPECT_EQ(InstalledValue(L"Version"), L"1.0.0");
    EXPECT_TRUE(runFolders.FileNames().empty()) << "msiexec never ran, so it left no log";
    ExpectOnlyMsiexecLogsLeft();
  }

  void ExpectOnlyMsiexecLogsLeft() const { test::ExpectOnlyMsiexecLogsLeft(runFolders, temp.Path()); }

  test::msi::SampleProductCleanup cleanup;
  test::msi::SetupLogCapture log;
  TempFolder temp;
  ScopedEnvironmentVariable tmp{L"TMP", temp.Path()};
  test::NewRunFolders runFolders;
};

TEST_F(WorkerScenario, FreshInstall) {
  Offer118();
  Run();
  EXPECT_TRUE(
      InOrder(log.Messages(), {"Setup started (PID ", "Manifest version=1.1.8 url=https://cdn.velmora.test/",
                               "Installed version= expected_exe_size=0 app_matches=1.",
                               "Installer downloaded to ", "Repair path: trying install/upgrade first."}));
  EXPECT_FALSE(AnyStartsWith(log.Messages(), "Downloaded MSI "))
      << "a profile without publisher keys checks none";
  EXPECT_EQ(SetupOperation.load(), Operation::Install);
  EXPECT_EQ(SetupOutcome.load(), Outcome::Installed);
  EXPECT_EQ(InstalledValue(L"Version"), L"1.1.8");
  EXPECT_EQ(CopyStatusText(), L"Install complete.");
  ExpectOnlyMsiexecLogsLeft();
  EXPECT_EQ(runFolders.FileNames(),
            std::vector<std::wstring>{L"Velmora-MSI-" + std::to_wstring(GetCurrentProcessId()) + L".log"});
}

// A second process of an ordinary user tries to change the checked package while msiexec
// works on it; Wine's msiexec installs it all the same.
TEST_F(WorkerScenario, CheckedPackageIsLockedUntilMsiexecIsDone) {
  Offer118();
  WorkerCalls calls = SystemWorkerCalls();
  const auto strategy = calls.runInstallStrategy;
  const std::wstring tamper = test::TestBinaryFolder() + L"\\win_tamper_file.exe";
  DWORD before = 0xFF;
  DWORD after = 0xFF;
  calls.runInstallStrategy = [&](const std::wstring& package, const std::wstring& folder, bool removeFirst,
                                 const InstallVersions& versions,
                                 const std::function<bool(std::wstring&)>& previousPackage,
                                 std::uint32_t& lastExitCode) {
    before = test::msi::RunProgram(tamper, L"win_tamper_file.exe \"" + package + L"\"");
    const InstallResult result =
        strategy(package, folder, removeFirst, versions, previousPackage, lastExitCode);
    after = test::msi::RunProgram(tamper, L"win_tamper_file.exe \"" + package + L"\"");
    return result;
  };
  RunSetup(calls);
  EXPECT_EQ(before, 0u) << "bits: 1 written, 2 renamed, 4 deleted";
  EXPECT_EQ(after, 0u) << "bits: 1 written, 2 renamed, 4 deleted";
  EXPECT_EQ(SetupOutcome.load(), Outcome::Installed);
  EXPECT_EQ(InstalledValue(L"Version"), L"1.1.8");
  ExpectOnlyMsiexecLogsLeft();
}

TEST_F(WorkerScenario, PackageSignedByThePublisherUpdatesWhileLocked) {
  PreInstall(L"1.0.0");
  OfferAsTheHostPleases(SignedPackage("publisher"));
  RunCheckingThePublisher();
  EXPECT_TRUE(InOrder(
      log.Messages(),
      {"Installed version=1.0.0 ",
       "Downloaded MSI is signed by its publisher: Velmora Sandbox Publisher (key " + PublisherPin() + ").",
       "Installer downloaded to ", "Repair path: trying install/upgrade first."}));
  EXPECT_EQ(SetupOutcome.load(), Outcome::Installed);
  EXPECT_EQ(InstalledValue(L"Version"), L"1.1.8");
  ExpectOnlyMsiexecLogsLeft();
}

// The kept package is held from its second digest check until msiexec has put the previous
// version back: another process can neither change, rename nor delete it in between.
TEST_F(WorkerScenario, FailedUpdateRestoresTheKeptPackageHeldAgainstChange) {
  Offer118();
  Run();
  ASSERT_EQ(SetupOutcome.load(), Outcome::Installed);
  ASSERT_TRUE(test::PublishCopy(L"downloads\\Velmora-Setup-1.1.9-x64.msi", SamplePackage(L"1.1.9")));
  ASSERT_TRUE(test::PublishFile(
      L"installer\\manifest.json",
      ManifestText("1.1.9", "https://cdn.velmora.test/downloads/Velmora-Setup-1.1.9-x64.msi",
                   PackageDigest(L"1.1.9"), 0)));
  const std::wstring tamper = test::TestBinaryFolder() + L"\\win_tamper_file.exe";
  DWORD tampered = 0xFF;
  std::vector<std::wstring> boxes;
  MsiexecCalls host;
  host.notify = [&](const Notice& notice) { boxes.push_back(notice.text); };
  WorkerCalls calls = SystemWorkerCalls();
  calls.runInstallStrategy = [&](const std::wstring& package, const std::wstring& folder, bool removeFirst,
                                 const InstallVersions& versions,
                                 const std::function<bool(std::wstring&)>& previousPackage,
                                 std::uint32_t& lastExitCode) {
    const auto heldPrevious = [&](std::wstring& path) {
      const bool found = previousPackage(path);
      if (found) tampered = test::msi::RunProgram(tamper, L"win_tamper_file.exe \"" + path + L"\"");
      return found;
    };
    return RunInstallStrategy(package, folder, removeFirst, versions, heldPrevious, host, &lastExitCode);
  };
  RunSetup(calls);
  test::UnpublishFile(L"downloads\\Velmora-Setup-1.1.9-x64.msi");
  EXPECT_EQ(tampered, 0u) << "bits: 1 written, 2 renamed, 4 deleted";
  EXPECT_TRUE(InOrder(log.Messages(), {"Cached package of Velmora 1.1.8 passed its digest check: ",
                                       "Velmora 1.1.8 was restored."}));
  EXPECT_EQ(boxes.size(), 1u);
  EXPECT_EQ(SetupOutcome.load(), Outcome::Restored);
  EXPECT_EQ(InstalledValue(L"Version"), L"1.1.8");
  ExpectOnlyMsiexecLogsLeft();
}

TEST_F(WorkerScenario, PackageOfAnotherPublisherFromTheHostIsRefusedBeforeMsiexec) {
  PreInstall(L"1.0.0");
  OfferAsTheHostPleases(SignedPackage("other-publisher"));
  RunCheckingThePublisher();
  ExpectRefusedBeforeMsiexec("signed by Velmora Sandbox Other Publisher (key ");
}

// The pinned downloader turns down the host's stale Date twice; Windows' own downloader, which
// checks no Date, brings the package, and the publisher check still stands in its way.
TEST_F(WorkerScenario, UnsignedPackageThroughTheSystemDownloaderIsRefusedBeforeMsiexec) {
  PreInstall(L"1.0.0");
  OfferAsTheHostPleases(SamplePackage(L"1.1.8"), "/_/date=-3600/downloads/Velmora-Setup-1.1.8-x64.msi");
  RunCheckingThePublisher();
  EXPECT_TRUE(InOrder(log.Messages(), {"Installer download attempt 2 failed: ",
                                       "Windows downloader completed the installer download."}));
  ExpectRefusedBeforeMsiexec("the package is not signed (0x800B0100).");
}

TEST_F(WorkerScenario, UpdateFrom100) {
  PreInstall(L"1.0.0");
  Offer118();
  Run();
  EXPECT_TRUE(InOrder(log.Messages(),
                      {"Manifest version=1.1.8 ", "Installed version=1.0.0 ", "Installer downloaded to "}));
  EXPECT_EQ(SetupOperation.load(), Operation::Update);
  EXPECT_EQ(SetupOutcome.load(), Outcome::Installed);
  EXPECT_EQ(InstalledValue(L"Version"), L"1.1.8");
  ExpectOnlyMsiexecLogsLeft();
}

TEST_F(WorkerScenario, UpToDateWith118Installed) {
  PreInstall(L"1.1.8");
  Offer118();
  Run();
  EXPECT_TRUE(InOrder(log.Messages(), {"Installed version=1.1.8 expected_exe_size=0 app_matches=1.",
                                       "Installed build is current; opening Velmora."}));
  EXPECT_EQ(SetupOperation.load(), Operation::UpToDate);
  EXPECT_EQ(SetupOutcome.load(), Outcome::UpToDate);
  EXPECT_EQ(log.Find("Repair path: trying install/upgrade first."), -1);
  ExpectOnlyMsiexecLogsLeft();
}

TEST_F(WorkerScenario, RepairOfAMismatchingExecutable) {
  PreInstall(L"1.1.8");
  const std::wstring exe = InstalledValue(L"InstallFolder") + L"Velmora.exe";
  const std::uint64_t size = test::msi::FileSize(exe);
  ASSERT_GT(size, 0u);
  std::ofstream(std::filesystem::path(exe), std::ios::binary | std::ios::app) << "tampered";
  Offer118(PackageDigest(L"1.1.8"), size);
  Run();
  EXPECT_TRUE(InOrder(log.Messages(), {"Installed version=1.1.8 expected_exe_size=" + std::to_string(size) +
                                           " app_matches=0.",
                                       "Same version but installed EXE does not match; reinstalling.",
                                       "Clean reinstall requested: removing the previous copy first."}));
  EXPECT_EQ(SetupOperation.load(), Operation::Repair);
  EXPECT_EQ(SetupOutcome.load(), Outcome::Installed);
  EXPECT_EQ(test::msi::FileSize(exe), size);
  ExpectOnlyMsiexecLogsLeft();
}

TEST_F(WorkerScenario, ProductCodeWithoutVersionIsCleanedFirst) {
  PreInstall(L"1.0.0");
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Velmora\\Installer", 0,
                          KEY_SET_VALUE | KEY_WOW64_64KEY, &key),
            ERROR_SUCCESS);
  RegDeleteValueW(key, L"Version");
  RegCloseKey(key);
  Offer118();
  Run();
  EXPECT_TRUE(InOrder(
      log.Messages(),
      {"Installed version= ",
       "Installed version is missing; cleaning the previous product before installation.",
       "Clean reinstall requested: removing the previous copy first.", "Uninstalling broken product {"}));
  EXPECT_EQ(SetupOperation.load(), Operation::Repair);
  EXPECT_EQ(SetupOutcome.load(), Outcome::Installed);
  EXPECT_EQ(InstalledValue(L"Version"), L"1.1.8");
}

TEST_F(WorkerScenario, DigestMismatchFailsWithTheIntegrityMessage) {
  const std::string wrong(64, 'a');
  Offer118(wrong);
  Run();
  EXPECT_TRUE(InOrder(log.Messages(), {"Downloaded MSI hash mismatch. expected=" + wrong +
                                       " actual=" + PackageDigest(L"1.1.8") + "."}));
  EXPECT_EQ(SetupOutcome.load(), Outcome::Failed);
  EXPECT_EQ(CopyErrorText(), L"The downloaded installer failed its integrity check.");
  EXPECT_EQ(InstalledValue(L"Version"), L"");
  ExpectOnlyMsiexecLogsLeft();
}

// Wine's system downloader saves a 404 page as if it were the file, so only the MSI check
// stops the run here.
TEST_F(WorkerScenario, NotFoundEverywhereFallsBackAndTheMsiCheckStopsTheRun) {
  Run();  // no manifest and no package published: every request is a 404
  EXPECT_TRUE(
      InOrder(log.Messages(),
              {"Manifest download attempt 1 failed: Update server returned HTTP 404.",
               "Manifest download attempt 3 failed: Update server returned HTTP 404.",
               "Using built-in installer manifest fallback.",
               "Installer download attempt 1 failed: Update server returned HTTP 404.",
               "Installer download attempt 2 failed: Update server returned HTTP 404.",
               "Windows downloader completed the installer download.", "Downloaded file is not an MSI."}));
  EXPECT_EQ(SetupOutcome.load(), Outcome::Failed);
  EXPECT_EQ(CopyErrorText(), L"The downloaded file is not a valid Velmora MSI installer.");
  ExpectOnlyMsiexecLogsLeft();
}

// A package host that is neither allowed nor reachable: the pinned downloader refuses the URL
// and the system downloader cannot resolve it, so the user reads the download message.
TEST_F(WorkerScenario, PackageBeyondEveryDownloaderFailsTheDownload) {
  ASSERT_TRUE(test::PublishFile(
      L"installer\\manifest.json",
      ManifestText("1.1.8", "https://unreachable.test/downloads/Velmora-Setup-1.1.8-x64.msi",
                   PackageDigest(L"1.1.8"), 0)));
  Run();
  EXPECT_TRUE(InOrder(log.Messages(),
                      {"Installer download attempt 1 failed: Update URL is not an allowed HTTPS location.",
                       "Installer download attempt 2 failed: Update URL is not an allowed HTTPS location.",
                       "Windows downloader failed: Windows downloader failed (0x",
                       "Installer download failed: Windows downloader failed (0x"}));
  EXPECT_EQ(SetupOutcome.load(), Outcome::Failed);
  const std::wstring error = CopyErrorText();
  const std::wstring prefix =
      L"Could not download the Velmora installer. If you use a proxy, VPN, or antivirus web shield, "
      L"allow Velmora Setup and try again. Windows downloader failed (0x";
  EXPECT_EQ(error.substr(0, prefix.size()), prefix);
  EXPECT_TRUE(std::regex_match(test::Narrow(error.substr(prefix.size())), std::regex("[0-9A-F]{8}\\)\\.")));
  ExpectOnlyMsiexecLogsLeft();
}

// The user's own temporary folder no longer matters: one too long for any buffer changes nothing.
TEST_F(WorkerScenario, UserTemporaryFolderLongerThanItsBufferIsNotUsed) {
  ScopedEnvironmentVariable longTmp(L"TMP", temp.Path() + L"\\" + std::wstring(280, L't'));
  Offer118();
  Run();
  EXPECT_EQ(SetupOutcome.load(), Outcome::Installed);
}

// The run's folder is made with a name nobody can foresee; where the name is taken anyway, the
// run ends with the temporary-folder message rather than using what is there.
TEST_F(WorkerScenario, RunFolderAtAStandInNameAlreadyTakenFailsTheRun) {
  const std::wstring taken =
      test::SystemTempFolderPath() + L"\\VelmoraSetup-taken-" + std::to_wstring(GetCurrentProcessId());
  ASSERT_TRUE(CreateDirectoryW(taken.c_str(), nullptr));
  test::WriteWholeFile(taken + L"\\planted.txt", "");  // an empty one would be swept away
  WorkerCalls calls = SystemWorkerCalls();
  calls.createRunFolder = [&](std::wstring& folder) {
    folder = taken + L"\\";
    return CreateRunFolderAt(taken);
  };
  RunSetup(calls);
  std::filesystem::remove_all(taken);
  EXPECT_EQ(log.Messages().size(), 1u);
  EXPECT_EQ(SetupOutcome.load(), Outcome::Failed);
  EXPECT_EQ(CopyErrorText(), L"Windows could not provide a temporary folder.");
}

}  // namespace
}  // namespace velmora

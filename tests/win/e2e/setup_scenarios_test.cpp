// Whole runs of VelmoraSetup.exe under Wine against the sandbox server and the sample
// packages: exit code, log lines, registry, files, shortcut, launched application and the
// text of every message box it showed.
#include <gtest/gtest.h>

#include <oleacc.h>
#include <shlobj.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>
#include <sstream>
#include <thread>

#include "base/win/scoped_handle.h"
#include "launch_support.h"
#include "profile/vendor_profile.h"
#include "msi_support.h"
#include "net/win/file_integrity.h"
#include "net_test_support.h"
#include "sandbox_docroot.h"
#include "scenario_support.h"
#include "setup_driver.h"
#include "setup_scenario.h"
#include "win_test_support.h"

namespace velmora {
namespace {

using test::ArtifactsFolder;
using test::CloseSampleWindows;
using test::DesktopShortcutPath;
using test::InOrder;
using test::InstalledExePath;
using test::Manifest;
using test::RegistryValue;
using test::RunSetupProgram;
using test::ScopedEnvironmentVariable;
using test::SetupRunOptions;
using test::SetupRunResult;
using test::SetupScenario;
using test::TempFolder;
using test::WaitForSampleWindow;

TEST_F(SetupScenario, FreshInstallInstallsCreatesTheShortcutAndLaunchesVelmora) {
  const test::SamplePackageFile package = test::SamplePackageOf("1.1.8");
  PublishManifest(Manifest("1.1.8", PublishPackage("1.1.8"), package.sha256, 0));
  const SetupRunResult run = Run();
  ASSERT_TRUE(run.exited);
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_TRUE(run.finishScreenSeen);
  EXPECT_TRUE(run.messageBoxes.empty());
  EXPECT_TRUE(
      InOrder(Log(), {"Setup started (PID ", "Manifest version=1.1.8 url=https://cdn.velmora.test/",
                      "Installed version= expected_exe_size=0 app_matches=1.", "Installer downloaded to ",
                      "Repair path: trying install/upgrade first.", "Finish screen shown for operation 1.",
                      "Finish requested: launch=1 shortcut=1."}));
  EXPECT_EQ(RegistryValue(L"Version"), L"1.1.8");
  EXPECT_TRUE(test::PathExists(InstalledExePath()));
  EXPECT_TRUE(test::PathExists(DesktopShortcutPath()));
  EXPECT_TRUE(WaitForSampleWindow(10000));
  ExpectOnlyMsiexecLogsLeft();
}

TEST_F(SetupScenario, UpdateFrom100ShowsTheUpdatedFinishScreen) {
  PreInstall("1.0.0");
  Offer118();
  SetupRunOptions options;
  options.unselectLaunch = true;
  options.screenshotPrefix = ArtifactsFolder() + L"\\e2e-update";
  const SetupRunResult run = Run(options);
  ASSERT_TRUE(run.exited);
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_TRUE(InOrder(Log(), {"Installed version=1.0.0 ", "Finish screen shown for operation 2.",
                              "Finish requested: launch=0 shortcut=1."}));
  EXPECT_EQ(RegistryValue(L"Version"), L"1.1.8");
  EXPECT_TRUE(test::PathExists(DesktopShortcutPath()));
  EXPECT_FALSE(WaitForSampleWindow(1000)) << "launch was switched off";
  ExpectOnlyMsiexecLogsLeft();
}

TEST_F(SetupScenario, UpToDateWith118InstalledDownloadsNothing) {
  PreInstall("1.1.8");
  Offer118();
  SetupRunOptions options;
  options.unselectLaunch = true;
  options.unselectShortcut = true;
  const std::size_t before = test::ServerRequestLog().size();
  const SetupRunResult run = Run(options);
  ASSERT_TRUE(run.exited);
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_TRUE(
      InOrder(Log(), {"Installed build is current; opening Velmora.", "Finish screen shown for operation 4.",
                      "Finish requested: launch=0 shortcut=0."}));
  const std::string requests = test::ServerRequestLog().substr(before);
  EXPECT_NE(requests.find("/installer/manifest.json"), std::string::npos) << requests;
  EXPECT_EQ(requests.find("/downloads/"), std::string::npos) << requests;
  EXPECT_FALSE(test::PathExists(DesktopShortcutPath()));
}

std::wstring SystemFolder() {
  wchar_t system[MAX_PATH] = {};
  GetSystemDirectoryW(system, MAX_PATH);
  return system;
}

// No signed-in user's desktop (no shell window, as when Explorer has ended or in a service or
// SYSTEM context): nothing runs or is written as administrator on the user's behalf, wherever
// the user's registry points the desktop, and the finish screen says where to find Velmora.
TEST_F(SetupScenario, NoShellWindowNeitherLaunchesNorWritesTheShortcut) {
  shell.reset();
  ASSERT_EQ(GetShellWindow(), nullptr);
  const test::RedirectedDesktop intoSystem(SystemFolder());
  PreInstall("1.1.8");
  Offer118();
  SetupRunOptions options;
  options.screenshotPrefix = ArtifactsFolder() + L"\\e2e-no-shell";
  const SetupRunResult run = Run(options);
  ASSERT_TRUE(run.exited);
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_TRUE(run.finishScreenSeen);
  EXPECT_TRUE(run.messageBoxes.empty());
  EXPECT_TRUE(
      InOrder(Log(), {"Finish screen shown for operation 4.", "No signed-in user's token (no shell window)",
                      "Finish requested: launch=0 shortcut=0."}));
  EXPECT_FALSE(test::PathExists(SystemFolder() + L"\\Velmora.lnk"));
  EXPECT_FALSE(WaitForSampleWindow(2000)) << "Velmora was started as administrator";
}

// The machine-wide data folder comes from the system: a ProgramData variable that a parent
// process set, here to a link into the system folder, gets nothing created there, and the log
// is where the system keeps it.
TEST_F(SetupScenario, ProgramDataVariableLinkedIntoTheSystemFolderGetsNothingCreatedThere) {
  const TempFolder links;
  const std::wstring intoSystem = links / L"data";
  ASSERT_TRUE(test::MakeUnixSymlink(SystemFolder(), intoSystem));
  ASSERT_FALSE(test::PathExists(SystemFolder() + L"\\Velmora"));
  PreInstall("1.1.8");
  Offer118();
  SetupRunOptions options;
  options.unselectLaunch = true;
  options.unselectShortcut = true;
  SetupRunResult run;
  {
    const ScopedEnvironmentVariable pointed(L"ProgramData", intoSystem);
    run = Run(options);
  }
  ASSERT_TRUE(run.exited);
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_FALSE(test::PathExists(SystemFolder() + L"\\Velmora"));
  EXPECT_TRUE(InOrder(Log(), {"Setup started (PID ", "Installed build is current; opening Velmora."}));
  EXPECT_TRUE(test::RemoveUnixSymlink(intoSystem));
}

// The sample application, started from a path as a user would start it, with its window up.
ScopedProcessInformation StartSampleWindow(const std::wstring& exe) {
  ScopedProcessInformation started;
  const std::wstring folder = exe.substr(0, exe.find_last_of(L'\\'));
  EXPECT_TRUE(test::StartChild({exe, L"\"" + exe + L"\"", folder}, started)) << test::Narrow(exe);
  for (int i = 0; i < 200; ++i, Sleep(50)) {
    if (test::FindProcessWindow(started.ProcessId(), L"VelmoraNativeClass", L"Velmora") != nullptr) break;
  }
  return started;
}

// An update with Velmora open: the installed copy is asked to close and saves first; a copy of
// Velmora.exe in another folder is someone else's and keeps running through the whole run.
TEST_F(SetupScenario, UpdateAsksTheOpenAppToCloseAndLeavesAnotherFoldersCopyRunning) {
  PreInstall("1.0.0");
  const std::wstring installedExe = InstalledExePath();
  const std::wstring saved =
      installedExe.substr(0, installedExe.find_last_of(L'\\')) + L"\\velmora-sample-saved.txt";
  DeleteFileW(saved.c_str());
  const ScopedProcessInformation installed = StartSampleWindow(installedExe);
  const TempFolder elsewhere;
  ASSERT_TRUE(CopyFileW(installedExe.c_str(), (elsewhere / L"Velmora.exe").c_str(), FALSE));
  const ScopedProcessInformation other = StartSampleWindow(elsewhere / L"Velmora.exe");
  ASSERT_TRUE(installed.Valid() && other.Valid());
  Offer118();
  SetupRunOptions options;
  options.unselectLaunch = true;
  options.unselectShortcut = true;

  const SetupRunResult run = Run(options);

  ASSERT_TRUE(run.exited);
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_EQ(RegistryValue(L"Version"), L"1.1.8");
  EXPECT_TRUE(
      InOrder(Log(), {"Velmora process " + std::to_string(installed.ProcessId()) + " closed when asked.",
                      "Finish screen shown for operation 2."}));
  EXPECT_EQ(test::ReadWholeFile(saved), "saved\n");
  EXPECT_EQ(WaitForSingleObject(installed.Process(), 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(other.Process(), 0), static_cast<DWORD>(WAIT_TIMEOUT))
      << "a Velmora.exe in another folder was stopped";
  EXPECT_EQ(test::ReadWholeFile(elsewhere / L"velmora-sample-saved.txt"), "");
  const std::string otherId = std::to_string(other.ProcessId());
  for (const std::string& line : Log()) {
    EXPECT_NE(line.rfind("Velmora process " + otherId + " ", 0), 0u) << line;
    EXPECT_NE(line.rfind("Stopping existing Velmora process " + otherId + ":", 0), 0u) << line;
  }
  TerminateProcess(other.Process(), 0);
  WaitForSingleObject(other.Process(), 10000);
  DeleteFileW(saved.c_str());
}

TEST_F(SetupScenario, RepairReplacesAMismatchingExecutable) {
  PreInstall("1.1.8");
  const std::wstring exe = InstalledExePath();
  const std::string original = test::ReadWholeFile(exe);
  test::WriteWholeFile(exe, original + "tampered");
  PublishManifest(
      Manifest("1.1.8", PublishPackage("1.1.8"), test::SamplePackageOf("1.1.8").sha256, original.size()));
  SetupRunOptions options;
  options.unselectLaunch = true;
  const SetupRunResult run = Run(options);
  ASSERT_TRUE(run.exited);
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_TRUE(InOrder(Log(), {"Same version but installed EXE does not match; reinstalling.",
                              "Clean reinstall requested: removing the previous copy first.",
                              "Finish screen shown for operation 3."}));
  EXPECT_EQ(test::ReadWholeFile(exe).size(), original.size());
}

TEST_F(SetupScenario, FallbackSwitchMakesNoManifestRequest) {
  // Matched as a whole argument, wherever it stands among the others.
  for (const wchar_t* arguments : {L"--fallback-manifest", L"/norestart --fallback-manifest"}) {
    SCOPED_TRACE(test::Narrow(arguments));
    Uninstall();
    const std::string builtInUrl = PublishPackage("1.1.7", "downloads.velmora.test");
    ASSERT_EQ(builtInUrl, BuiltInPackageUrl());
    const std::string before = test::ServerRequestLog();
    SetupRunOptions options;
    options.arguments = arguments;
    options.unselectLaunch = true;
    const SetupRunResult run = Run(options);
    ASSERT_TRUE(run.exited);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_TRUE(InOrder(Log(), {"Manifest download skipped by diagnostic fallback flag.",
                                "Using built-in installer manifest fallback.", "Manifest version=1.1.7 "}));
    const std::string requests = test::ServerRequestLog().substr(before.size());
    EXPECT_EQ(requests.find("manifest.json"), std::string::npos) << requests;
    EXPECT_NE(requests.find("/downloads/Velmora-Setup-1.1.7-x64.msi"), std::string::npos) << requests;
    EXPECT_EQ(RegistryValue(L"Version"), L"1.1.7");
  }
}

TEST_F(SetupScenario, ManifestServerDownOrInvalidFallsBackToTheBuiltInManifest) {
  struct Case {
    const char* name;
    std::string behaviour;
    std::string manifest;
    const char* line;
  };
  const std::vector<Case> cases = {
      {"down", R"({"/installer/manifest.json": "status=503"})", "",
       "Manifest download attempt 3 failed: Update server returned HTTP 503."},
      {"invalid", "",
       Manifest("1.1.8", "https://cdn.velmora.test/downloads/setup.exe",
                test::SamplePackageOf("1.1.8").sha256, 0),
       "Installer manifest is invalid. version='1.1.8' url='https://cdn.velmora.test/downloads/setup.exe'."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Uninstall();
    PublishPackage("1.1.7", "downloads.velmora.test");
    if (!c.manifest.empty()) PublishManifest(c.manifest);
    ASSERT_TRUE(test::SetServerBehaviour(c.behaviour));
    SetupRunOptions options;
    options.unselectLaunch = true;
    const SetupRunResult run = Run(options);
    ASSERT_TRUE(run.exited);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_TRUE(
        InOrder(Log(), {c.line, "Using built-in installer manifest fallback.", "Manifest version=1.1.7 "}));
    EXPECT_EQ(RegistryValue(L"Version"), L"1.1.7");
  }
}

// The sandbox server as a compromised download host: it holds the pinned TLS key and serves
// whatever it likes, but it has no manifest signing key. The program is built with the
// signed-manifest test profile, whose keys are those of the test PKI.
class SignedManifestScenario : public SetupScenario {
 protected:
  void SetUp() override {
    SetupScenario::SetUp();
    ASSERT_TRUE(test::PathExists(test::SignedManifestSetupProgramPath()));
  }

  // A run of the signed-manifest program with a fresh log, for a table's next row.
  SetupRunResult RunSigned() {
    DeleteFileW(programData.LogPath().c_str());
    SetupRunOptions options;
    options.program = test::SignedManifestSetupProgramPath();
    options.unselectLaunch = true;
    return Run(options);
  }

  void PublishSignature(const std::string& bytes) {
    ASSERT_TRUE(test::PublishFile(L"installer\\manifest.json.sig", bytes));
  }

  // A manifest offering 1.1.8 with an expiry, as a release engineer signs it.
  std::string SignableManifest(const std::string& expires) {
    return Manifest("1.1.8", PublishPackage("1.1.8"), test::SamplePackageOf("1.1.8").sha256, 0)
               .insert(1, "\"expires\": \"" + expires + "\", ") +
           "\n";
  }
};

// The keys that the signed-manifest and publisher programs trust are the test PKI's, as
// make_pki.sh prints them.
TEST(SignedManifestProfile, ItsKeysAreTheTestPkisManifestKeys) {
  std::string profile;
  for (const char c : test::ReadWholeFile(test::DosPathOf(
           std::string(VELMORA_SOURCE_DIR) + "/tests/profiles/sandbox_manifest_signing_keys.h"))) {
    // Literals joined: a long key may be written as adjacent string literals.
    if (c != '"' && c != ' ' && c != '\n') profile.push_back(c);
  }
  for (const char* name : {"manifest-key-1", "manifest-key-2"}) {
    std::string key = test::ReadWholeFile(
        test::DosPathOf(std::string(VELMORA_SOURCE_DIR) + "/tools/sandbox/pki/" + name + ".pub"));
    while (!key.empty() && key.back() == '\n') key.pop_back();
    EXPECT_NE(profile.find(key), std::string::npos) << name;
  }
}

TEST_F(SignedManifestScenario, ForgedUnsignedTamperedOrExpiredManifestIsRefusedAndTheBuiltInOneInstalls) {
  struct Case {
    const char* name;
    std::string manifest;
    std::string signature;  // none published when empty
    std::string reason;
  };
  const std::string manifest = SignableManifest("2099-12-31T23:59:59Z");
  std::string tampered = manifest;
  tampered[tampered.find("1.1.8")] = '9';  // one byte after signing: 9.1.8
  const std::string expired = SignableManifest("2020-01-01T00:00:00Z");
  const std::vector<Case> cases = {
      {"signed with another key", manifest, test::OpensslSignature(manifest, "manifest-key-other"),
       "Installer manifest signature matches no manifest signing key"},
      {"no signature", manifest, "",
       "Could not download the manifest signature: Update server returned HTTP 404"},
      {"one byte changed after signing", tampered, test::OpensslSignature(manifest, "manifest-key-1"),
       "Installer manifest signature matches no manifest signing key"},
      {"expired", expired, test::OpensslSignature(expired, "manifest-key-1"),
       "Installer manifest expired at 2020-01-01T00:00:00Z"},
  };
  PublishPackage("1.1.7", "downloads.velmora.test");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Uninstall();
    PublishManifest(c.manifest);
    test::UnpublishFile(L"installer\\manifest.json.sig");
    if (!c.signature.empty()) PublishSignature(c.signature);
    const SetupRunResult run = RunSigned();
    ASSERT_TRUE(run.exited);
    EXPECT_EQ(run.exitCode, 0u);
    const std::vector<std::string> log = Log();
    EXPECT_TRUE(InOrder(log, {"Manifest download attempt 1 failed: " + c.reason + ".",
                              "Manifest download attempt 2 failed: " + c.reason + ".",
                              "Manifest download attempt 3 failed: " + c.reason + ".",
                              "Using built-in installer manifest fallback.", "Manifest version=1.1.7 ",
                              "Finish screen shown for operation 1."}));
    EXPECT_EQ(RegistryValue(L"Version"), L"1.1.7");
    ExpectOnlyMsiexecLogsLeft();
  }
}

TEST_F(SignedManifestScenario, ManifestSignedWithEitherKeySlotInstalls) {
  const std::string manifest = SignableManifest("2099-12-31T23:59:59Z");
  for (const int slot : {1, 2}) {
    SCOPED_TRACE(slot);
    Uninstall();
    PublishManifest(manifest);
    PublishSignature(test::OpensslSignature(manifest, "manifest-key-" + std::to_string(slot)));
    const std::size_t requested = test::ServerRequestLog().size();
    const SetupRunResult run = RunSigned();
    ASSERT_TRUE(run.exited);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_TRUE(InOrder(Log(), {"Setup started (PID ",
                                "Manifest signature verified with signing key " + std::to_string(slot) +
                                    "; expires=2099-12-31T23:59:59Z.",
                                "Manifest version=1.1.8 url=https://cdn.velmora.test/",
                                "Installer downloaded to ", "Finish screen shown for operation 1."}));
    EXPECT_EQ(RegistryValue(L"Version"), L"1.1.8");
    const std::string requests = test::ServerRequestLog().substr(requested);
    EXPECT_NE(requests.find("downloads.velmora.test GET /installer/manifest.json.sig 200"), std::string::npos)
        << requests;
    ExpectOnlyMsiexecLogsLeft();
  }
}

// Run-specific parts of log lines (process ids, the run's folder) in a fixed form, so that two
// runs' logs compare line for line.
std::vector<std::string> Normalised(std::vector<std::string> lines) {
  const std::regex pid(R"(\(PID [0-9]+\))");
  const std::regex fileOfPid(R"(-[0-9]+\.(msi|log|json))");
  const std::regex runFolder(R"([A-Za-z]:\\[^"]*\\VelmoraSetup-[0-9]+-[0-9a-f]+)");
  for (std::string& line : lines) {
    line = std::regex_replace(line, pid, "(PID <pid>)");
    line = std::regex_replace(line, fileOfPid, "-<pid>.$1");
    line = std::regex_replace(line, runFolder, "<run>");
  }
  return lines;
}

// A profile without keys: the program reads a manifest that carries a past expiry and has a
// signature beside it exactly as it reads one without either: every line of a fresh install,
// and nothing of the signature fetched.
TEST_F(SetupScenario, WithoutSigningKeysExpiryAndSignatureChangeNothingInTheLog) {
  const std::string plain =
      Manifest("1.1.8", PublishPackage("1.1.8"), test::SamplePackageOf("1.1.8").sha256, 0);
  std::string withExpiry = plain;
  withExpiry.insert(1, R"("expires": "2001-01-01T00:00:00Z", )");
  ASSERT_TRUE(test::PublishFile(L"installer\\manifest.json.sig", "not a signature"));
  SetupRunOptions options;
  options.unselectLaunch = true;
  const std::string url = "https://cdn.velmora.test/downloads/Velmora-Setup-1.1.8-x64.msi";
  const std::vector<std::string> expected = {
      "Microsoft Edge WebView2 Runtime is present.",
      "Setup started (PID <pid>).",
      "Manifest version=1.1.8 url=" + url + " sha256=" + test::SamplePackageOf("1.1.8").sha256 +
          " fallback=0.",
      "Installed version= expected_exe_size=0 app_matches=1.",
      "Installer downloaded to <run>\\Velmora-Setup-<pid>.msi.",
      "Repair path: trying install/upgrade first.",
      "Starting Windows Installer: msiexec.exe /i \"<run>\\Velmora-Setup-<pid>.msi\" /qb /norestart /l*v "
      "\"<run>\\Velmora-MSI-<pid>.log\"",
      "Windows Installer exit code: 0.",
      "Kept the package of Velmora 1.1.8 in the package cache.",
      "Finish screen shown for operation 1.",
      "Finish requested: launch=0 shortcut=1.",
      "Desktop shortcut created: " + test::Narrow(DesktopShortcutPath()),
  };
  for (const std::string& manifest : {plain, withExpiry}) {
    SCOPED_TRACE(manifest);
    Uninstall();
    PublishManifest(manifest);
    DeleteFileW(programData.LogPath().c_str());
    const std::size_t requested = test::ServerRequestLog().size();
    const SetupRunResult run = Run(options);
    ASSERT_TRUE(run.exited);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(RegistryValue(L"Version"), L"1.1.8");
    EXPECT_EQ(test::ServerRequestLog().find(".sig", requested), std::string::npos);
    EXPECT_EQ(Normalised(Log()), expected);
  }
}

// A TLS-inspecting proxy that the machine trusts stands between setup and the host. Its chain
// validates but carries no pinned key: the log names its issuer, and its redirect and its stale
// Date are reported as the pin failure they are, never as HTTP 302 or a clock to fix. The
// system downloader, which does not pin, still fetches the built-in package through it, and
// the digest lets it install.
TEST_F(SetupScenario, InterceptorIsNamedInTheLogAndItsRedirectOrStaleDateIsThePinFailure) {
  PublishPackage("1.1.7", "downloads.velmora.test");
  Offer118();
  ASSERT_TRUE(test::SetServerChains(R"({"downloads.velmora.test": "interceptor"})"));
  ASSERT_TRUE(test::SetServerBehaviour(
      R"({"/installer/manifest.json": "status=302", "/downloads/Velmora-Setup-1.1.7-x64.msi": "date=-3600"})"));
  SetupRunOptions options;
  options.unselectLaunch = true;
  const SetupRunResult run = Run(options);
  ASSERT_TRUE(run.exited);
  EXPECT_EQ(run.exitCode, 0u);
  const std::string pin = test::PinMismatchText("downloads.velmora.test", "Velmora Sandbox Inspection CA");
  const std::vector<std::string> log = Log();
  EXPECT_TRUE(InOrder(
      log, {"Manifest download attempt 1 failed: " + pin + ".",
            "Manifest download attempt 3 failed: " + pin + ".", "Using built-in installer manifest fallback.",
            "Manifest version=1.1.7 ", "Installer download attempt 1 failed: " + pin + ".",
            "Windows downloader completed the installer download.", "Finish screen shown for operation 1."}));
  for (const std::string& line : log) {
    EXPECT_EQ(line.find("HTTP 302"), std::string::npos) << line;
    EXPECT_EQ(line.find("Date is"), std::string::npos) << line;
  }
  const std::string requests = test::ServerRequestLog();
  EXPECT_NE(requests.find("downloads.velmora.test GET /installer/manifest.json 302"), std::string::npos);
  EXPECT_EQ(RegistryValue(L"Version"), L"1.1.7");
}

// The partial package of a run killed in mid-download, found in that run's folder: the one
// file named after the killed process's id.
std::wstring PartialPackageOf(DWORD processId, const test::NewRunFolders& runFolders) {
  const std::wstring name = L"Velmora-Setup-" + std::to_wstring(processId) + L".msi";
  for (const std::wstring& folder : runFolders.Paths()) {
    if (test::PathExists(folder + L"\\" + name)) return folder + L"\\" + name;
  }
  return L"";
}

// A run killed in the middle of a slow download leaves its partial package behind; the next
// run removes it, says so in the log, and installs.
TEST_F(SetupScenario, PartialPackageOfAKilledRunIsRemovedByTheNextRun) {
  const std::string url = PublishPackage("1.1.8");
  PublishManifest(Manifest("1.1.8", url, test::SamplePackageOf("1.1.8").sha256, 0));
  ASSERT_TRUE(test::SetServerBehaviour(R"({"/downloads/Velmora-Setup-1.1.8-x64.msi": "rate=20000"})"));
  ScopedProcessInformation setup;
  ASSERT_TRUE(test::StartChild({L"", L"\"" + test::SetupProgramPath() + L"\""}, setup));
  setup.Close();
  // Wine's WinHTTP fills its whole read buffer before it returns, so the file may still be
  // empty while the body trickles in: that it exists is enough.
  std::wstring partial;
  for (int i = 0; i < 600 && partial.empty(); ++i) {
    Sleep(100);
    partial = PartialPackageOf(setup.ProcessId(), runFolders);
  }
  ASSERT_FALSE(partial.empty()) << "the download never started";
  {
    const ScopedHandle killed(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, setup.ProcessId()));
    ASSERT_TRUE(killed);
    EXPECT_TRUE(TerminateProcess(killed.Get(), 9));
    WaitForSingleObject(killed.Get(), 10000);
  }
  ASSERT_TRUE(test::PathExists(partial)) << "the killed run left its partial package";
  ASSERT_TRUE(test::SetServerBehaviour(""));

  SetupRunOptions options;
  options.unselectLaunch = true;
  const SetupRunResult run = Run(options);
  ASSERT_TRUE(run.exited);
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_TRUE(
      InOrder(Log(), {"Setup started (PID ", "Removed " + test::Narrow(partial) + " left by an earlier run.",
                      "Manifest version=1.1.8 ", "Finish screen shown for operation 1."}));
  EXPECT_FALSE(test::PathExists(partial));
  EXPECT_EQ(RegistryValue(L"Version"), L"1.1.8");
  ExpectOnlyMsiexecLogsLeft();
}

std::uint64_t FileSize(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// Waits up to a minute for the staged package to grow past `size`; its new size, or 0.
std::uint64_t WaitForGrowthPast(const std::wstring& path, std::uint64_t size) {
  for (int i = 0; i < 600; ++i) {
    const std::uint64_t now = FileSize(path);
    if (now > size) return now;
    Sleep(100);
  }
  return 0;
}

// The question box of the process, waited for up to ten seconds, with its text.
HWND WaitForQuestion(DWORD processId, std::wstring& text) {
  for (int i = 0; i < 100; ++i) {
    const HWND box = test::FindProcessWindow(processId, L"#32770", L"Velmora Setup");
    if (box != nullptr) {
      Sleep(200);  // let it lay out its text
      wchar_t buffer[256] = {};
      GetDlgItemTextW(box, 0xFFFF, buffer, 256);  // a message box's text control
      text = buffer;
      return box;
    }
    Sleep(100);
  }
  return nullptr;
}

// The progress bar's value as a screen reader reads it from another process: the window's
// client object through oleacc (bound here at run time, as the program binds it), child 3.
std::wstring ProgressValueOf(HWND window) {
  const HMODULE oleacc = LoadLibraryExW(L"oleacc.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  const auto fromWindow = reinterpret_cast<decltype(&AccessibleObjectFromWindow)>(
      reinterpret_cast<void*>(GetProcAddress(oleacc, "AccessibleObjectFromWindow")));
  IAccessible* object = nullptr;
  if (fromWindow == nullptr || FAILED(fromWindow(window, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                                                 reinterpret_cast<void**>(&object)))) {
    return L"";
  }
  VARIANT bar;
  VariantInit(&bar);
  bar.vt = VT_I4;
  bar.lVal = 3;
  BSTR value = nullptr;
  std::wstring text;
  if (object->get_accValue(bar, &value) == S_OK && value != nullptr) {
    text.assign(value, SysStringLen(value));
    SysFreeString(value);
  }
  object->Release();
  return text;
}

int PercentOf(const std::wstring& value) { return value.empty() ? -1 : std::stoi(value); }

// The user cancels a slow package download. The close box asks; No leaves the download
// running; Esc asks again; Yes stops it: exit code 1602, the staged package gone, no message,
// and the installed product exactly as it was.
TEST_F(SetupScenario, CancelDuringASlowDownloadEndsWith1602AndLeavesTheInstalledProductAlone) {
  PreInstall("1.0.0");
  const std::wstring installedExe = InstalledExePath();
  const std::string installedBytes = test::ReadWholeFile(installedExe);
  ASSERT_FALSE(installedBytes.empty());
  const std::string url = PublishPackage("1.1.8");
  PublishManifest(Manifest("1.1.8", url, test::SamplePackageOf("1.1.8").sha256, 0));
  // 50 MB at 400 kB a second: minutes to go, and the staged file grows every read.
  ASSERT_TRUE(test::SetServerBehaviour(
      R"({"/downloads/Velmora-Setup-1.1.8-x64.msi": "rate=400000,body=zeros:50000000"})"));
  ScopedProcessInformation setup;
  ASSERT_TRUE(test::StartChild({L"", L"\"" + test::SetupProgramPath() + L"\""}, setup));
  const DWORD pid = setup.ProcessId();
  std::wstring staged;
  for (int i = 0; i < 600 && staged.empty(); ++i) {
    Sleep(100);
    staged = PartialPackageOf(pid, runFolders);
  }
  ASSERT_FALSE(staged.empty()) << "the download never started";
  const HWND window = test::FindProcessWindow(pid, L"VelmoraSetupWindow", L"Velmora Setup");
  ASSERT_NE(window, nullptr);
  // A screen reader follows the download: the bar's value rises as the file grows.
  const std::wstring first = ProgressValueOf(window);
  ASSERT_EQ(first.empty() ? L'?' : first.back(), L'%') << test::Narrow(first);
  EXPECT_GT(WaitForGrowthPast(staged, FileSize(staged) + 1500000), 0u);
  Sleep(300);
  EXPECT_GT(PercentOf(ProgressValueOf(window)), PercentOf(first));

  struct Ask {
    const char* how;
    UINT message;
    WPARAM wParam;
    int answer;
  };
  for (const Ask& ask :
       {Ask{"close box, No", WM_CLOSE, 0, IDNO}, Ask{"Esc, Yes", WM_KEYDOWN, VK_ESCAPE, IDYES}}) {
    SCOPED_TRACE(ask.how);
    PostMessageW(window, ask.message, ask.wParam, 0);
    std::wstring question;
    const HWND box = WaitForQuestion(pid, question);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(question, L"Cancel Velmora setup?");
    // The download goes on while the question waits.
    const std::uint64_t before = FileSize(staged);
    EXPECT_GT(WaitForGrowthPast(staged, before), before);
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(ask.answer, BN_CLICKED), 0);
    if (ask.answer == IDNO) {
      Sleep(300);
      EXPECT_EQ(WaitForSingleObject(setup.Process(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
      const std::uint64_t afterNo = FileSize(staged);
      EXPECT_GT(WaitForGrowthPast(staged, afterNo), afterNo) << "No keeps the download running";
    }
  }
  ASSERT_EQ(WaitForSingleObject(setup.Process(), 60000), static_cast<DWORD>(WAIT_OBJECT_0));
  DWORD code = 0;
  ASSERT_TRUE(GetExitCodeProcess(setup.Process(), &code));
  EXPECT_EQ(code, 1602u);
  EXPECT_EQ(test::FindProcessWindow(pid, L"#32770", nullptr), nullptr);
  EXPECT_FALSE(test::PathExists(staged));
  EXPECT_TRUE(InOrder(Log(), {"Setup started (PID ", "Manifest version=1.1.8 ",
                              "Cancel requested by the user.", "Installer download cancelled by the user."}));
  // Nothing after the download ran: no package check, no Windows Installer.
  EXPECT_EQ(Log().back(), "Installer download cancelled by the user.");
  EXPECT_EQ(RegistryValue(L"Version"), L"1.0.0");
  EXPECT_EQ(test::ReadWholeFile(installedExe), installedBytes);
  ExpectOnlyMsiexecLogsLeft();
}

TEST_F(SetupScenario, FailedRunsEndWithTheirMessageAndExitCode1) {
  struct Case {
    const char* name;
    std::string url;
    std::string digest;
    std::wstring message;  // the start of the box's text
  };
  const std::string digest = test::SamplePackageOf("1.1.8").sha256;
  PublishPackage("1.1.8");
  const std::vector<Case> cases = {
      {"unreachable package", "https://unreachable.test/downloads/Velmora-Setup-1.1.8-x64.msi", digest,
       L"Could not download the Velmora installer. If you use a proxy, VPN, or antivirus web shield, allow "
       L"Velmora Setup and try again. Windows downloader failed (0x"},
      {"html", "https://cdn.velmora.test/_/html/downloads/Velmora-Setup-1.1.8-x64.msi", digest,
       L"The downloaded file is not a valid Velmora MSI installer."},
      {"digest", "https://cdn.velmora.test/downloads/Velmora-Setup-1.1.8-x64.msi", std::string(64, 'b'),
       L"The downloaded installer failed its integrity check."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PublishManifest(Manifest("1.1.8", c.url, c.digest, 0));
    const SetupRunResult run = Run();
    ASSERT_TRUE(run.exited);
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_FALSE(run.finishScreenSeen);
    ASSERT_EQ(run.messageBoxes.size(), 1u);
    EXPECT_EQ(run.messageBoxes[0].substr(0, c.message.size()), c.message);
    EXPECT_EQ(run.messageBoxCaptions[0], L"Velmora Setup");
    EXPECT_EQ(RegistryValue(L"Version"), L"");
    ExpectOnlyMsiexecLogsLeft();
  }
}

// VelmoraSetupPublisher.exe: the sandbox profile with the test PKI's manifest signing keys and
// the sandbox publisher's key. The host holds the pinned TLS key and, worse, the manifest key,
// but not the publisher's signing key: it serves what it pleases with a correctly signed
// manifest whose digest matches.
class PublisherScenario : public SignedManifestScenario {
 protected:
  // The 1.1.8 package as signed by "publisher" or "other-publisher", or unsigned ("").
  void Offer(const std::string& signer) {
    const std::wstring package = signer.empty()
                                     ? test::SamplePackageOf("1.1.8").path
                                     : test::DriveZPathOf(std::string(VELMORA_BINARY_DIR) + "/packages/" +
                                                          signer + "/Velmora-Setup-1.1.8-x64.msi");
    std::string digest;
    ASSERT_TRUE(ComputeFileSha256Hex(package, &digest));
    const std::wstring relative = L"downloads\\Velmora-Setup-1.1.8-x64.msi";
    ASSERT_TRUE(test::PublishCopy(relative, package));
    published.push_back(relative);
    const std::string manifest =
        Manifest("1.1.8", "https://cdn.velmora.test/downloads/Velmora-Setup-1.1.8-x64.msi", digest, 0);
    PublishManifest(manifest);
    PublishSignature(test::OpensslSignature(manifest, "manifest-key-1"));
  }

  // A run with a fresh log, for a table's next row.
  SetupRunResult RunPublisherProgram() {
    DeleteFileW(programData.LogPath().c_str());
    SetupRunOptions options;
    options.program = test::TestBinaryFolder() + L"\\..\\VelmoraSetupPublisher.exe";
    options.unselectLaunch = true;
    options.unselectShortcut = true;
    return Run(options);
  }
};

TEST_F(PublisherScenario, PackageOfAnotherPublisherOrUnsignedIsRefusedAndTheProductStaysAsItWas) {
  PreInstall("1.0.0");
  for (const char* signer : {"other-publisher", ""}) {
    SCOPED_TRACE(*signer ? signer : "unsigned");
    Offer(signer);
    const SetupRunResult run = RunPublisherProgram();
    ASSERT_TRUE(run.exited);
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_FALSE(run.finishScreenSeen);
    EXPECT_EQ(run.messageBoxes,
              std::vector<std::wstring>{L"The downloaded installer is not signed by its publisher."});
    const std::string reason = *signer ? "signed by Velmora Sandbox Other Publisher (key "
                                       : "the package is not signed (0x800B0100).";
    EXPECT_TRUE(
        InOrder(Log(), {"Manifest signature verified with signing key 1; ", "Installed version=1.0.0 ",
                        "Downloaded MSI publisher check failed: " + reason}));
    EXPECT_EQ(RegistryValue(L"Version"), L"1.0.0");
    EXPECT_TRUE(runFolders.FileNames().empty()) << "msiexec never ran, so it left no log";
    ExpectOnlyMsiexecLogsLeft();
  }
}

TEST_F(PublisherScenario, PackageSignedByThePublisherUpdates) {
  PreInstall("1.0.0");
  Offer("publisher");
  const SetupRunResult run = RunPublisherProgram();
  ASSERT_TRUE(run.exited);
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_TRUE(run.finishScreenSeen);
  EXPECT_TRUE(run.messageBoxes.empty());
  EXPECT_TRUE(InOrder(Log(), {"Manifest signature verified with signing key 1; ", "Installed version=1.0.0 ",
                              "Downloaded MSI is signed by its publisher: Velmora Sandbox Publisher (key ",
                              "Installer downloaded to ", "Finish screen shown for operation 2."}));
  EXPECT_EQ(RegistryValue(L"Version"), L"1.1.8");
  ExpectOnlyMsiexecLogsLeft();
}

TEST_F(SetupScenario, PackageThatWindowsInstallerRejectsTwiceShowsTheStrategyMessage) {
  // A compound file with the right digest that is no installable package.
  std::string broken = test::ReadWholeFile(test::SamplePackageOf("1.1.8").path);
  for (std::size_t i = 512; i < broken.size(); i += 97) broken[i] = static_cast<char>(~broken[i]);
  const std::wstring relative = L"downloads\\Velmora-Setup-broken-x64.msi";
  ASSERT_TRUE(test::PublishFile(relative, broken));
  published.push_back(relative);
  const std::wstring local = temp / L"broken.msi";
  test::WriteWholeFile(local, broken);
  std::string digest;
  ASSERT_TRUE(ComputeFileSha256Hex(local, &digest));
  DeleteFileW(local.c_str());
  PublishManifest(
      Manifest("1.1.8", "https://cdn.velmora.test/downloads/Velmora-Setup-broken-x64.msi", digest, 0));
  const SetupRunResult run = Run();
  ASSERT_TRUE(run.exited);
  EXPECT_EQ(run.exitCode, 1u);
  EXPECT_TRUE(InOrder(Log(), {"Repair path: trying install/upgrade first.",
                              "Install/upgrade failed; falling back to uninstall + reinstall.",
                              "No installed product code; skipping uninstall."}));
  ASSERT_EQ(run.messageBoxes.size(), 1u);
  EXPECT_EQ(run.messageBoxes[0],
            L"Velmora could not be installed after repairing the previous copy. Run Velmora Setup again, "
            L"or download the latest installer from " +
                MessageHost() + L".");
  ExpectOnlyMsiexecLogsLeft();
}

// The package cache as the first run leaves it: 1.1.8 installed by the program itself, which
// keeps its package; then a broken 1.1.9 is offered.
class FailedUpdateScenario : public SetupScenario {
 protected:
  std::wstring Cache() const { return programData / L"Velmora\\Setup\\Cache"; }

  void Install118() {
    Offer118();
    SetupRunOptions options;
    options.unselectLaunch = true;
    options.unselectShortcut = true;
    const SetupRunResult run = Run(options);
    ASSERT_TRUE(run.exited);
    ASSERT_EQ(run.exitCode, 0u);
    ASSERT_EQ(RegistryValue(L"Version"), L"1.1.8");
    ASSERT_TRUE(InOrder(Log(), {"Kept the package of Velmora 1.1.8 in the package cache."}));
    ASSERT_EQ(test::ReadWholeFile(Cache() + L"\\Velmora-1.1.8.msi"),
              test::ReadWholeFile(test::SamplePackageOf("1.1.8").path));
  }

  // The log then holds this run's lines only.
  SetupRunResult Offer119() {
    DeleteFileW(programData.LogPath().c_str());
    PublishManifest(Manifest("1.1.9", PublishPackage("1.1.9"), test::SamplePackageOf("1.1.9").sha256, 0));
    return Run();
  }
};

// The update fails twice after the working 1.1.8 was removed; the kept package puts 1.1.8 back,
// and the user reads that the update failed and that 1.1.8 was restored. The run still failed.
TEST_F(FailedUpdateScenario, KeptPackageRestoresThePreviousVersion) {
  Install118();
  const std::wstring productCode = RegistryValue(L"ProductCode");
  const SetupRunResult run = Offer119();
  ASSERT_TRUE(run.exited);
  EXPECT_EQ(run.exitCode, 1u);
  EXPECT_FALSE(run.finishScreenSeen);
  ASSERT_EQ(run.messageBoxes.size(), 1u);
  EXPECT_EQ(
      run.messageBoxes[0],
      L"The update to Velmora 1.1.9 failed. Velmora 1.1.8, the version installed before, was restored and "
      L"works as before. Run Velmora Setup again later, or download the latest installer from " +
          MessageHost() + L".");
  EXPECT_TRUE(InOrder(
      Log(),
      {"Installed version=1.1.8 ", "Repair path: trying install/upgrade first.",
       "Install/upgrade failed; falling back to uninstall + reinstall.", "Uninstalling broken product ",
       "Uninstall exit code: 0.",
       "Velmora 1.1.9 did not install after the installed Velmora 1.1.8 was removed; restoring Velmora "
       "1.1.8.",
       "Cached package of Velmora 1.1.8 passed its digest check: " + test::Narrow(Cache()) +
           "\\Velmora-1.1.8.msi.",
       "Starting Windows Installer: msiexec.exe /i \"" + test::Narrow(Cache()) + "\\Velmora-1.1.8.msi\"",
       "Windows Installer exit code: 0.", "Velmora 1.1.8 was restored."}));
  EXPECT_EQ(RegistryValue(L"Version"), L"1.1.8");
  EXPECT_EQ(RegistryValue(L"ProductCode"), productCode);
  // The restored product works: it starts and shows its window.
  ScopedProcessInformation app;
  ASSERT_TRUE(test::StartChild({InstalledExePath(), L"Velmora.exe"}, app));
  EXPECT_TRUE(WaitForSampleWindow(10000));
  EXPECT_EQ(CloseSampleWindows(), 1);
  ExpectOnlyMsiexecLogsLeft();
}

// Without a kept package, or with one that fails its digest, the run ends as before the cache
// existed: nothing is installed, the strategy's message is shown, and the log says why.
TEST_F(FailedUpdateScenario, NoCacheOrAChangedPackageLeavesNothingToRestore) {
  struct Case {
    const char* name;
    bool remove;  // the cache folder removed; otherwise one byte of the kept package changed
    std::string line;
  };
  const Case cases[] = {
      {"cache removed", true, "No usable cached package of Velmora 1.1.8: there is no package cache."},
      {"package changed", false, "Cached package of Velmora 1.1.8 failed its digest check. recorded="},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Uninstall();
    Install118();
    const std::wstring kept = Cache() + L"\\Velmora-1.1.8.msi";
    if (c.remove) {
      ASSERT_TRUE(DeleteFileW(kept.c_str()));
      ASSERT_TRUE(DeleteFileW((kept + L".sha256").c_str()));
      ASSERT_TRUE(RemoveDirectoryW(Cache().c_str()));
    } else {
      std::string bytes = test::ReadWholeFile(kept);
      bytes[bytes.size() / 2] = static_cast<char>(~bytes[bytes.size() / 2]);
      test::WriteWholeFile(kept, bytes);
    }
    const SetupRunResult run = Offer119();
    ASSERT_TRUE(run.exited);
    EXPECT_EQ(run.exitCode, 1u);
    ASSERT_EQ(run.messageBoxes.size(), 1u);
    EXPECT_EQ(run.messageBoxes[0],
              L"Velmora could not be installed after repairing the previous copy. Run Velmora Setup again, "
              L"or download the latest installer from " +
                  MessageHost() + L".");
    EXPECT_TRUE(
        InOrder(Log(), {"Velmora 1.1.9 did not install after the installed Velmora 1.1.8 was removed; "
                        "restoring Velmora 1.1.8.",
                        c.line, "Velmora 1.1.8 cannot be restored; nothing of Velmora is left installed."}));
    EXPECT_EQ(RegistryValue(L"Version"), L"");
    ExpectOnlyMsiexecLogsLeft();
  }
}

// A repair of the installed 1.1.8, offered with the digest of the kept package, installs that
// package without fetching anything from the server.
TEST_F(FailedUpdateScenario, RepairOfTheKeptVersionDownloadsNothing) {
  Install118();
  const std::wstring exe = InstalledExePath();
  const std::string original = test::ReadWholeFile(exe);
  test::WriteWholeFile(exe, original + "tampered");
  PublishManifest(
      Manifest("1.1.8", PublishPackage("1.1.8"), test::SamplePackageOf("1.1.8").sha256, original.size()));
  const std::size_t before = test::ServerRequestLog().size();
  SetupRunOptions options;
  options.unselectLaunch = true;
  options.unselectShortcut = true;
  const SetupRunResult run = Run(options);
  ASSERT_TRUE(run.exited);
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_TRUE(InOrder(Log(), {"Same version but installed EXE does not match; reinstalling.",
                              "Cached package of Velmora 1.1.8 passed its digest check: ",
                              "Repairing Velmora 1.1.8 with the cached package; nothing to download.",
                              "Clean reinstall requested: removing the previous copy first.",
                              "Finish screen shown for operation 3."}));
  const std::string requests = test::ServerRequestLog().substr(before);
  EXPECT_NE(requests.find("/installer/manifest.json"), std::string::npos) << requests;
  EXPECT_EQ(requests.find("/downloads/"), std::string::npos) << requests;
  EXPECT_EQ(test::ReadWholeFile(exe), original);
  EXPECT_TRUE(test::PathExists(Cache() + L"\\Velmora-1.1.8.msi"));
}

TEST_F(SetupScenario, MissingWebView2RuntimeIsOfferedAndWarnedAbout) {
  ScopedEnvironmentVariable noRuntime(L"ProgramFiles(x86)", temp.Path());
  Offer118();
  SetupRunOptions options;
  options.unselectLaunch = true;
  options.screenshotPrefix = ArtifactsFolder() + L"\\e2e-webview2-missing";
  const SetupRunResult run = Run(options);
  ASSERT_TRUE(run.exited);
  EXPECT_EQ(run.exitCode, 0u);
  ASSERT_EQ(run.dialogTexts.size(), 1u);
  const std::vector<std::wstring>& texts = run.dialogTexts[0];
  EXPECT_EQ(run.messageBoxCaptions[0], L"Velmora Setup");
  for (const wchar_t* shown : {L"Microsoft Edge WebView2 Runtime is missing", L"Install", L"Not now"}) {
    EXPECT_NE(std::find(texts.begin(), texts.end(), std::wstring(shown)), texts.end()) << test::Narrow(shown);
  }
  EXPECT_TRUE(InOrder(Log(), {"Microsoft Edge WebView2 Runtime is missing.",
                              "WebView2 prompt dismissed; continuing without it.", "Setup started (PID ",
                              "Finish screen shown for operation 1."}));
}

TEST_F(SetupScenario, SecondCopyBringsTheFirstWindowForwardAndExitsWith0) {
  Offer118();
  ASSERT_TRUE(test::SetServerBehaviour(R"({"/installer/manifest.json": "delay=4"})"));
  ScopedProcessInformation first;
  ASSERT_TRUE(test::StartChild({L"", L"\"" + test::SetupProgramPath() + L"\""}, first));
  HWND window = nullptr;
  for (int i = 0; i < 100 && window == nullptr; ++i) {
    Sleep(50);
    window = test::FindProcessWindow(first.ProcessId(), L"VelmoraSetupWindow", L"Velmora Setup");
  }
  ASSERT_NE(window, nullptr);
  ShowWindow(window, SW_MINIMIZE);
  SetupRunOptions second;
  second.timeoutMilliseconds = 20000;
  const SetupRunResult run = Run(second);
  EXPECT_TRUE(run.exited);
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_TRUE(run.messageBoxes.empty());
  EXPECT_FALSE(IsIconic(window)) << "the first copy's window is restored";
  // The first copy carries on to its finish screen.
  test::SetServerBehaviour("");
  for (int i = 0; i < 200; ++i) {
    RECT client = {};
    GetClientRect(window, &client);
    if (client.right > 500) break;
    Sleep(100);
  }
  PostMessageW(window, WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_EQ(WaitForSingleObject(first.Process(), 30000), WAIT_OBJECT_0);
  DWORD code = 99;
  GetExitCodeProcess(first.Process(), &code);
  EXPECT_EQ(code, 0u);
}

// Nothing was installed, so the run does not report success; the log says why it ended.
TEST_F(SetupScenario, SecondCopyWithoutAWindowToFindSaysItIsAlreadyRunningAndExitsWith1) {
  // This test holds the single-instance mutex as a first copy would before its window exists.
  const HANDLE mutex = CreateMutexW(nullptr, TRUE, L"Local\\VelmoraSetup_SingleInstance");
  ASSERT_NE(mutex, nullptr);
  const SetupRunResult run = Run();
  CloseHandle(mutex);
  ASSERT_TRUE(run.exited);
  EXPECT_EQ(run.exitCode, 1u);
  ASSERT_EQ(run.messageBoxes.size(), 1u);
  EXPECT_EQ(run.messageBoxes[0], L"Velmora Setup is already running.");
  const std::vector<std::string> log = Log();
  ASSERT_EQ(log.size(), 1u) << "the second copy starts nothing";
  EXPECT_TRUE(std::regex_match(
      log[0], std::regex(R"(Velmora Setup is already running \(PID \d+ ends with exit code 1\)\.)")))
      << log[0];
}

// A first copy's window that shows itself only after a delay, minimised, and is serviced on its
// own thread so that another process can restore it; gone when the object is.
class LateSetupWindow {
 public:
  explicit LateSetupWindow(DWORD delayMilliseconds)
      : thread_([this, delayMilliseconds] { Serve(delayMilliseconds); }) {}
  ~LateSetupWindow() {
    SetEvent(stop_.Get());
    thread_.join();
  }
  LateSetupWindow(const LateSetupWindow&) = delete;
  LateSetupWindow& operator=(const LateSetupWindow&) = delete;

  HWND Window() const { return window_; }

 private:
  void Serve(DWORD delayMilliseconds) {
    if (WaitForSingleObject(stop_.Get(), delayMilliseconds) == WAIT_OBJECT_0) return;
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"VelmoraSetupWindow";
    RegisterClassW(&windowClass);
    const HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"Velmora Setup", WS_OVERLAPPEDWINDOW,
                                        0, 0, 500, 216, nullptr, nullptr, windowClass.hInstance, nullptr);
    ShowWindow(window, SW_SHOWMINNOACTIVE);
    window_ = window;
    const HANDLE stop = stop_.Get();
    while (MsgWaitForMultipleObjects(1, &stop, FALSE, INFINITE, QS_ALLINPUT) != WAIT_OBJECT_0) {
      MSG message;
      while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    }
    DestroyWindow(window);
    UnregisterClassW(windowClass.lpszClassName, windowClass.hInstance);
  }

  ScopedHandle stop_{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  std::atomic<HWND> window_ = nullptr;
  std::thread thread_;
};

// The second copy keeps looking for the first copy's window for about two seconds: one that
// appears a second after it started is still found. Wine starts the program in well under a
// second here, so its first searches find nothing.
TEST_F(SetupScenario, SecondCopyFindsAWindowThatAppearsASecondLater) {
  const ScopedHandle mutex(CreateMutexW(nullptr, TRUE, L"Local\\VelmoraSetup_SingleInstance"));
  ASSERT_TRUE(mutex);
  const LateSetupWindow first(1000);
  const SetupRunResult run = Run();
  ASSERT_TRUE(run.exited);
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_TRUE(run.messageBoxes.empty());
  ASSERT_NE(first.Window(), nullptr);
  EXPECT_FALSE(IsIconic(first.Window())) << "the second copy restores the window it found";
  EXPECT_TRUE(Log().empty()) << "the second copy starts nothing";
}

}  // namespace
}  // namespace velmora

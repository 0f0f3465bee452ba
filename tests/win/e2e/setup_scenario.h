// The scenario fixture of the whole-program tests: a machine-wide data folder, a desktop,
// temporary folders and a WebView2 runtime marker of the test's own, a desktop shell, the
// sandbox's published files, and the sample product removed before and after each test.
#pragma once

#include <windows.h>
#include <objbase.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "launch_support.h"
#include "msi_support.h"
#include "sandbox_docroot.h"
#include "scenario_support.h"
#include "setup_driver.h"
#include "system_msiexec_stand_in.h"
#include "win_test_support.h"

namespace velmora::test {

// A manifest whose digest carries the "sha256:" prefix.
std::string Manifest(const std::string& version, const std::string& url, const std::string& digest,
                     std::uint64_t exeSize);

// Runs the system's msiexec with these arguments and gives its exit code.
DWORD RunMsiexec(const std::wstring& arguments);

// A value of the product's registry record; empty when missing.
std::wstring RegistryValue(const wchar_t* name);

std::wstring DesktopShortcutPath();
std::wstring InstalledExePath();

// Log lines without their time stamps.
std::vector<std::string> LogMessages(const std::wstring& path);

// Closes every running sample application window; returns how many there were.
int CloseSampleWindows();
bool WaitForSampleWindow(DWORD milliseconds);

// build/win/artifacts, where screenshots are kept.
std::wstring ArtifactsFolder();

class SetupScenario : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(SandboxDocroot().empty()) << "run inside tools/sandbox/with_sandbox.sh";
    ASSERT_TRUE(PathExists(SetupProgramPath()));
    ASSERT_TRUE(shell->Ready());
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    // A test aborted while it had put a stand-in in msiexec's place.
    ASSERT_TRUE(SystemMsiexecStandIn::RestoreOriginal());
    Uninstall();
    DeleteFileW(DesktopShortcutPath().c_str());
    // The WebView2 runtime is present unless a scenario removes it.
    const std::wstring runtime =
        webView2Root.Path() + L"\\Microsoft\\EdgeWebView\\Application\\120.0.2210.91";
    std::filesystem::create_directories(runtime);
    WriteWholeFile(runtime + L"\\msedgewebview2.exe", "MZ");
  }

  void TearDown() override {
    CloseSampleWindows();
    Uninstall();
    DeleteFileW(DesktopShortcutPath().c_str());
    UnpublishFile(L"installer\\manifest.json");
    UnpublishFile(L"installer\\manifest.json.sig");
    SetServerBehaviour("");
    SetServerChains("");
    for (const std::wstring& name : published) UnpublishFile(name);
    CoUninitialize();
  }

  static void Uninstall() {
    const std::wstring code = RegistryValue(L"ProductCode");
    if (!code.empty()) RunMsiexec(L"/x " + code + L" /qn /norestart");
  }

  void PreInstall(const std::string& version) {
    ASSERT_EQ(RunMsiexec(L"/i \"" + SamplePackageOf(version).path + L"\" /qn /norestart"), 0u);
    ASSERT_EQ(RegistryValue(L"Version"), Widen(version));
  }

  // Publishes a sample package at /downloads/<name> and returns its URL.
  std::string PublishPackage(const std::string& version, const std::string& host = "cdn.velmora.test") {
    const std::wstring relative = L"downloads\\Velmora-Setup-" + Widen(version) + L"-x64.msi";
    EXPECT_TRUE(PublishCopy(relative, SamplePackageOf(version).path));
    published.push_back(relative);
    return "https://" + host + "/downloads/Velmora-Setup-" + version + "-x64.msi";
  }

  void PublishManifest(const std::string& text) {
    ASSERT_TRUE(PublishFile(L"installer\\manifest.json", text));
  }

  // The manifest offers the sample 1.1.8 package; returns the package's URL.
  std::string Offer118() {
    const std::string url = PublishPackage("1.1.8");
    PublishManifest(Manifest("1.1.8", url, SamplePackageOf("1.1.8").sha256, 0));
    return url;
  }

  SetupRunResult Run(SetupRunOptions options = {}) { return RunSetupProgram(options); }

  std::vector<std::string> Log() const { return LogMessages(programData.LogPath()); }

  void ExpectOnlyMsiexecLogsLeft() const { test::ExpectOnlyMsiexecLogsLeft(runFolders, temp.Path()); }

  OwnMachineDataFolder programData;
  TempFolder temp;
  TempFolder webView2Root;
  // The user's desktop of the test's own: Wine's points at the Unix home folder, which other
  // test runs on the machine share.
  TempFolder desktop;
  RedirectedDesktop desktopRedirection{desktop.Path()};
  ScopedEnvironmentVariable tmpVariable{L"TMP", temp.Path()};
  ScopedEnvironmentVariable tempVariable{L"TEMP", temp.Path()};
  ScopedEnvironmentVariable runtimeVariable{L"ProgramFiles(x86)", webView2Root.Path()};
  NewRunFolders runFolders;
  std::vector<std::wstring> published;
  // A desktop shell, as on a signed-in desktop, unless a scenario ends it.
  std::optional<ShellWindowOwner> shell{std::in_place};
};

}  // namespace velmora::test

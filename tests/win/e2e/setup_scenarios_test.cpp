// Whole runs of VelmoraSetup.exe under Wine against the sandbox server and the sample
// packages: exit code, log lines, registry, files, shortcut, launched application and the
// text of every message box it showed.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "app/vendor_profile.h"
#include "sandbox_docroot.h"
#include "setup_driver.h"
#include "win_test_support.h"

namespace velmora {
namespace {

using test::RunSetupProgram;
using test::ScopedEnvironmentVariable;
using test::SetupRunOptions;
using test::SetupRunResult;
using test::TempFolder;

struct SamplePackage {
  std::wstring path;
  std::string sha256;
  std::uint64_t size = 0;
};

std::wstring PackagesFolder() { return test::TestBinaryFolder() + L"\\..\\packages"; }

// The build records each sample package's size and digest beside the packages.
SamplePackage Package(const std::string& version) {
  const std::string name = "Velmora-Setup-" + version + "-x64.msi";
  std::istringstream listing(test::ReadWholeFile(PackagesFolder() + L"\\packages.txt"));
  std::string line;
  SamplePackage package{PackagesFolder() + L"\\" + test::Widen(name), "", 0};
  while (std::getline(listing, line)) {
    std::smatch match;
    if (std::regex_search(line, match, std::regex(R"(^(\S+) size=(\d+) sha256=([0-9a-f]{64}))")) &&
        match[1] == name) {
      package.size = std::stoull(match[2]);
      package.sha256 = match[3];
    }
  }
  return package;
}

std::string Manifest(const std::string& version, const std::string& url, const std::string& digest,
                     std::uint64_t exeSize) {
  return "{\n  \"" + ManifestVersionKey() + "\": \"" + version + "\",\n  \"" +
         ManifestPackageUrlKey() + "\": \"" + url + "\",\n  \"" + ManifestPackageSha256Key() +
         "\": \"sha256:" + digest + "\",\n  \"exeSize\": " + std::to_string(exeSize) + "\n}\n";
}

DWORD RunMsiexec(const std::wstring& arguments) {
  wchar_t system[MAX_PATH] = {};
  GetSystemDirectoryW(system, MAX_PATH);
  const std::wstring program = std::wstring(system) + L"\\msiexec.exe";
  std::wstring command = L"msiexec.exe " + arguments;
  STARTUPINFOW startup = {sizeof startup};
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    return 0xFFFFFFFF;
  }
  WaitForSingleObject(process.hProcess, 300000);
  DWORD code = 0xFFFFFFFF;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return code;
}

std::wstring RegistryValue(const wchar_t* name) {
  wchar_t data[1024] = {};
  DWORD bytes = sizeof data;
  if (RegGetValueW(HKEY_LOCAL_MACHINE, L"Software\\Velmora\\Installer", name,
                   RRF_RT_REG_SZ | RRF_SUBKEY_WOW6464KEY, nullptr, data, &bytes) != ERROR_SUCCESS) {
    return {};
  }
  return data;
}

std::wstring DesktopShortcutPath() {
  PWSTR desktop = nullptr;
  if (FAILED(SHGetKnownFolderPath(FOLDERID_Desktop, 0, nullptr, &desktop))) return {};
  std::wstring path = std::wstring(desktop) + L"\\Velmora.lnk";
  CoTaskMemFree(desktop);
  return path;
}

std::wstring InstalledExePath() {
  const std::wstring folder = RegistryValue(L"InstallFolder");
  std::wstring path = folder.empty() ? L"C:\\Program Files\\Velmora\\" : folder;
  if (path.back() != L'\\') path += L'\\';
  return path + L"Velmora.exe";
}

// Log lines without their time stamps.
std::vector<std::string> LogMessages(const std::wstring& path) {
  std::istringstream text(test::ReadWholeFile(path));
  std::vector<std::string> messages;
  std::string line;
  while (std::getline(text, line)) messages.push_back(line.size() > 20 ? line.substr(20) : line);
  return messages;
}

// True when each expected line occurs, in this order, among the log lines.
::testing::AssertionResult InOrder(const std::vector<std::string>& lines,
                                   const std::vector<std::string>& expected) {
  auto at = lines.begin();
  for (const std::string& want : expected) {
    at = std::find_if(at, lines.end(), [&](const std::string& line) { return line.rfind(want, 0) == 0; });
    if (at == lines.end()) {
      std::string all;
      for (const std::string& line : lines) all += "\n  " + line;
      return ::testing::AssertionFailure() << "missing in order: " << want << "\nlog:" << all;
    }
    ++at;
  }
  return ::testing::AssertionSuccess();
}

struct WindowClose {
  const wchar_t* title;
  int closed;
};

BOOL CALLBACK CloseByTitle(HWND window, LPARAM context) {
  auto* close = reinterpret_cast<WindowClose*>(context);
  wchar_t title[64] = {};
  wchar_t className[64] = {};
  GetWindowTextW(window, title, 64);
  GetClassNameW(window, className, 64);
  if (wcscmp(title, close->title) == 0 && wcscmp(className, L"VelmoraNativeClass") == 0) {
    PostMessageW(window, WM_CLOSE, 0, 0);
    ++close->closed;
  }
  return TRUE;
}

// Closes every running sample application window; returns how many there were.
int CloseSampleWindows() {
  WindowClose close{L"Velmora", 0};
  EnumWindows(CloseByTitle, reinterpret_cast<LPARAM>(&close));
  if (close.closed > 0) Sleep(500);
  return close.closed;
}

bool WaitForSampleWindow(DWORD milliseconds) {
  for (DWORD waited = 0; waited < milliseconds; waited += 100) {
    if (FindWindowW(L"VelmoraNativeClass", L"Velmora") != nullptr) return true;
    Sleep(100);
  }
  return false;
}

class SetupScenario : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(test::SandboxDocroot().empty()) << "run inside tools/sandbox/with_sandbox.sh";
    ASSERT_TRUE(test::PathExists(test::SetupProgramPath()));
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    Uninstall();
    DeleteFileW(DesktopShortcutPath().c_str());
    // The WebView2 runtime is present unless a scenario removes it.
    const std::wstring runtime = webView2Root.Path() + L"\\Microsoft\\EdgeWebView\\Application\\120.0.2210.91";
    std::filesystem::create_directories(runtime);
    test::WriteWholeFile(runtime + L"\\msedgewebview2.exe", "MZ");
  }

  void TearDown() override {
    CloseSampleWindows();
    Uninstall();
    DeleteFileW(DesktopShortcutPath().c_str());
    test::UnpublishFile(L"installer\\manifest.json");
    test::SetServerBehaviour("");
    for (const std::wstring& name : published) test::UnpublishFile(name);
    CoUninitialize();
  }

  static void Uninstall() {
    const std::wstring code = RegistryValue(L"ProductCode");
    if (!code.empty()) RunMsiexec(L"/x " + code + L" /qn /norestart");
  }

  void PreInstall(const std::string& version) {
    ASSERT_EQ(RunMsiexec(L"/i \"" + Package(version).path + L"\" /qn /norestart"), 0u);
    ASSERT_EQ(RegistryValue(L"Version"), test::Widen(version));
  }

  // Publishes a sample package at /downloads/<name> and returns its URL.
  std::string PublishPackage(const std::string& version, const std::string& host = "cdn.velmora.test") {
    const std::wstring relative = L"downloads\\Velmora-Setup-" + test::Widen(version) + L"-x64.msi";
    EXPECT_TRUE(test::PublishCopy(relative, Package(version).path));
    published.push_back(relative);
    return "https://" + host + "/downloads/Velmora-Setup-" + version + "-x64.msi";
  }

  void PublishManifest(const std::string& text) {
    ASSERT_TRUE(test::PublishFile(L"installer\\manifest.json", text));
  }

  SetupRunResult Run(SetupRunOptions options = {}) { return RunSetupProgram(options); }

  std::vector<std::string> Log() const { return LogMessages(programData / L"Velmora\\Setup\\bootstrapper.log"); }

  std::vector<std::wstring> TemporaryFiles() const {
    std::vector<std::wstring> names;
    for (const auto& entry : std::filesystem::directory_iterator(temp.Path())) {
      names.push_back(entry.path().filename().wstring());
    }
    return names;
  }

  void ExpectOnlyMsiexecLogsLeft() const {
    for (const std::wstring& name : TemporaryFiles()) {
      EXPECT_TRUE(name.rfind(L"Velmora-MSI-", 0) == 0 || name.rfind(L"Velmora-Uninstall-", 0) == 0)
          << test::Narrow(name);
    }
  }

  TempFolder programData;
  TempFolder temp;
  TempFolder webView2Root;
  ScopedEnvironmentVariable programDataVariable{L"ProgramData", programData.Path()};
  ScopedEnvironmentVariable tmpVariable{L"TMP", temp.Path()};
  ScopedEnvironmentVariable tempVariable{L"TEMP", temp.Path()};
  ScopedEnvironmentVariable runtimeVariable{L"ProgramFiles(x86)", webView2Root.Path()};
  std::vector<std::wstring> published;
};

TEST_F(SetupScenario, FreshInstallInstallsCreatesTheShortcutAndLaunchesVelmora) {
  const SamplePackage package = Package("1.1.8");
  PublishManifest(Manifest("1.1.8", PublishPackage("1.1.8"), package.sha256, 0));
  const SetupRunResult run = Run();
  ASSERT_TRUE(run.exited);
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_TRUE(run.finishScreenSeen);
  EXPECT_TRUE(run.messageBoxes.empty());
  EXPECT_TRUE(InOrder(Log(), {"Setup started (PID ", "Manifest version=1.1.8 url=https://cdn.velmora.test/",
                              "Installed version= expected_exe_size=0 app_matches=1.",
                              "Installer downloaded to ", "Repair path: trying install/upgrade first.",
                              "Finish screen shown for operation 1.",
                              "Finish requested: launch=1 shortcut=1."}));
  EXPECT_EQ(RegistryValue(L"Version"), L"1.1.8");
  EXPECT_TRUE(test::PathExists(InstalledExePath()));
  EXPECT_TRUE(test::PathExists(DesktopShortcutPath()));
  EXPECT_TRUE(WaitForSampleWindow(10000));
  ExpectOnlyMsiexecLogsLeft();
}

}  // namespace
}  // namespace velmora

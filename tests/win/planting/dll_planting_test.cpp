// Libraries planted beside the program by an ordinary user, with Wine told to prefer a DLL
// found there over its own: the program binds crypt32, bcrypt and userenv from the system
// folder only, so a whole run loads none of them, while a program that imports crypt32
// statically does take the planted copy. Wine reads that preference (WINEDLLOVERRIDES) from
// the environment it was started with, not from a parent's Windows environment, so this suite
// is started with it (tests/CMakeLists.txt) and every process it starts inherits it.
#include <gtest/gtest.h>

#include <filesystem>

#include "base/win/scoped_handle.h"
#include "launch_support.h"
#include "msi_support.h"
#include "sandbox_docroot.h"
#include "scenario_support.h"
#include "setup_driver.h"
#include "win_test_support.h"

namespace velmora {
namespace {

using test::ScopedEnvironmentVariable;
using test::TempFolder;

constexpr const wchar_t* kPlanted[] = {L"crypt32.dll", L"bcrypt.dll", L"userenv.dll"};

class DllPlantingTest : public ::testing::Test {
 protected:
  // Copies the program and every planted stand-in into the folder; returns the copy's path.
  std::wstring PlantBeside(const std::wstring& program) {
    for (const wchar_t* name : kPlanted) {
      EXPECT_TRUE(CopyFileW((test::TestBinaryFolder() + L"\\planted\\" + name).c_str(),
                            (folder / name).c_str(), FALSE))
          << test::Narrow(name);
    }
    const std::wstring copy = folder / std::filesystem::path(program).filename().wstring();
    EXPECT_TRUE(CopyFileW(program.c_str(), copy.c_str(), FALSE)) << test::Narrow(program);
    return copy;
  }

  // The planted libraries that something loaded.
  std::vector<std::string> LoadedStandIns() const {
    std::vector<std::string> loaded;
    for (const wchar_t* name : kPlanted) {
      if (test::PathExists(folder / (std::wstring(name) + L".loaded"))) loaded.push_back(test::Narrow(name));
    }
    return loaded;
  }

  TempFolder folder;
};

// Shows that the planted stand-ins and the override do what the next test relies on.
TEST_F(DllPlantingTest, ProgramWithAStaticCrypt32ImportLoadsThePlantedCopy) {
  const std::wstring importer = PlantBeside(test::TestBinaryFolder() + L"\\win_crypt32_importer.exe");
  ASSERT_EQ(test::msi::RunProgram(importer, L"\"" + importer + L"\""), 0u);
  EXPECT_EQ(LoadedStandIns(), std::vector<std::string>{"crypt32.dll"});
}

// Ends the application processes that the run's log says it started.
void EndLaunched(const std::vector<std::string>& messages) {
  const std::string prefix = "Velmora process started with PID ";
  for (const std::string& line : test::MessagesStartingWith(messages, prefix)) {
    const ScopedHandle process(
        OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, std::stoul(line.substr(prefix.size()))));
    if (!process) continue;
    TerminateProcess(process.Get(), 0);
    WaitForSingleObject(process.Get(), 5000);
  }
}

// A fresh install with the key pin, the package digest and the launch in the signed-in user's
// context (environment block included): every use of the three libraries.
TEST_F(DllPlantingTest, WholeRunLoadsNoPlantedCopy) {
  ASSERT_FALSE(test::SandboxDocroot().empty()) << "run inside tools/sandbox/with_sandbox.sh";
  test::msi::SampleProductCleanup product;
  test::msi::SetupLogCapture log;
  TempFolder temp;
  ScopedEnvironmentVariable tmp{L"TMP", temp.Path()};
  ScopedEnvironmentVariable tempVariable{L"TEMP", temp.Path()};
  // The WebView2 runtime is present, so no prompt comes first.
  TempFolder webView2Root;
  const std::wstring runtimeFolder =
      webView2Root.Path() + L"\\Microsoft\\EdgeWebView\\Application\\120.0.2210.91";
  std::filesystem::create_directories(runtimeFolder);
  test::WriteWholeFile(runtimeFolder + L"\\msedgewebview2.exe", "MZ");
  ScopedEnvironmentVariable runtime{L"ProgramFiles(x86)", webView2Root.Path()};
  const test::SamplePackageFile package = test::SamplePackageOf("1.1.8");
  const std::wstring packageName = L"downloads\\Velmora-Setup-planting-x64.msi";
  ASSERT_TRUE(test::PublishCopy(packageName, package.path));
  ASSERT_TRUE(test::PublishFile(
      L"installer\\manifest.json",
      test::ManifestText("1.1.8", "https://cdn.velmora.test/downloads/Velmora-Setup-planting-x64.msi",
                         "sha256:" + package.sha256, 0)));
  test::ShellWindowOwner shell;
  ASSERT_TRUE(shell.Ready());

  test::SetupRunOptions options;
  options.program = PlantBeside(test::SetupProgramPath());
  options.unselectShortcut = true;
  options.timeoutMilliseconds = 60000;
  const test::SetupRunResult run = test::RunSetupProgram(options);
  const std::vector<std::string> messages = log.Messages();
  EndLaunched(messages);
  test::UnpublishFile(L"installer\\manifest.json");
  test::UnpublishFile(packageName);

  ASSERT_TRUE(run.exited);
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_TRUE(run.messageBoxes.empty());
  EXPECT_TRUE(test::InOrder(
      messages, {"Manifest version=1.1.8 url=https://cdn.velmora.test/", "Installer downloaded to ",
                 "Finish screen shown for operation 1.", "Velmora launched in the signed-in user context.",
                 "Velmora window is visible."}));
  EXPECT_EQ(test::msi::InstalledValue(L"Version"), L"1.1.8");
  EXPECT_EQ(LoadedStandIns(), std::vector<std::string>{});
}

}  // namespace
}  // namespace velmora

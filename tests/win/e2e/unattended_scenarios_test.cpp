// Whole runs of VelmoraSetup.exe started the way a deployment tool starts it: /quiet and
// /passive against the sandbox server and the sample packages, each checked by its exit code,
// its log lines and every top-level window its process had.
#include <gtest/gtest.h>

#include <filesystem>

#include "profile/vendor_profile.h"
#include "setup_scenario.h"

namespace velmora {
namespace {

using test::InOrder;
using test::Manifest;
using test::RegistryValue;
using test::SetupRunOptions;
using test::SetupRunResult;
using test::SetupScenario;
using test::VisibleWindows;

class UnattendedScenario : public SetupScenario {
 protected:
  // A run with its windows recorded; it must end by itself.
  SetupRunResult RunWith(const std::wstring& arguments) {
    SetupRunOptions options;
    options.arguments = arguments;
    options.recordWindows = true;
    options.pressFinish = false;
    options.timeoutMilliseconds = 180000;
    return Run(options);
  }

  // Nothing was shown at all: no window, no box.
  static void ExpectNothingShown(const SetupRunResult& run) {
    EXPECT_EQ(VisibleWindows(run.windows), std::vector<std::wstring>{});
    EXPECT_TRUE(run.messageBoxes.empty());
    EXPECT_FALSE(run.finishScreenSeen);
  }
};

TEST_F(UnattendedScenario, QuietRunsEndWithTheirExitCodeAndShowNoWindow) {
  struct Case {
    const char* name;
    const char* preInstalled;  // empty: nothing installed
    std::string packageUrl;    // empty: the published 1.1.8
    DWORD exitCode;
    const wchar_t* versionAfter;
    std::vector<std::string> lines;
  };
  const std::vector<Case> cases = {
      {"fresh install",
       "",
       "",
       0,
       L"1.1.8",
       {"Unattended run (/quiet).", "Setup started (PID ", "Repair path: trying install/upgrade first.",
        "Starting Windows Installer: msiexec.exe /i ", "Unattended finish: launch=0 shortcut=0.",
        "Unattended run ends with exit code 0."}},
      {"update",
       "1.0.0",
       "",
       0,
       L"1.1.8",
       {"Unattended run (/quiet).", "Installed version=1.0.0 ", "Unattended finish: launch=0 shortcut=0.",
        "Unattended run ends with exit code 0."}},
      {"up to date",
       "1.1.8",
       "",
       0,
       L"1.1.8",
       {"Installed build is current; opening Velmora.", "Unattended finish: launch=0 shortcut=0.",
        "Unattended run ends with exit code 0."}},
      {"download failure",
       "",
       "https://unreachable.test/downloads/Velmora-Setup-1.1.8-x64.msi",
       1619,
       L"",
       {"Installer download failed: ",
        "Could not download the Velmora installer. If you use a proxy, VPN, or antivirus web shield, allow "
        "Velmora Setup and try again. ",
        "Unattended run ends with exit code 1619."}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Uninstall();
    if (c.preInstalled[0] != '\0') PreInstall(c.preInstalled);
    const std::string published = Offer118();
    if (!c.packageUrl.empty()) {
      PublishManifest(Manifest("1.1.8", c.packageUrl, test::SamplePackageOf("1.1.8").sha256, 0));
    }
    const std::size_t logBefore = Log().size();
    const SetupRunResult run = RunWith(L"/quiet");
    ASSERT_TRUE(run.exited);
    EXPECT_EQ(run.exitCode, c.exitCode);
    ExpectNothingShown(run);
    const std::vector<std::string> log = Log();
    EXPECT_TRUE(InOrder({log.begin() + static_cast<std::ptrdiff_t>(logBefore), log.end()}, c.lines));
    EXPECT_EQ(RegistryValue(L"Version"), c.versionAfter);
    EXPECT_FALSE(test::PathExists(test::DesktopShortcutPath())) << "no shortcut without /shortcut";
    EXPECT_FALSE(test::WaitForSampleWindow(500)) << "nothing is launched";
    std::printf("quiet %s: exit code %lu after %lu ms; top-level windows of the process:", c.name,
                run.exitCode, run.milliseconds);
    for (const test::SeenWindow& window : run.windows) {
      std::printf(" [%s '%s'%s]", test::Narrow(window.className).c_str(), test::Narrow(window.title).c_str(),
                  window.visible ? " visible" : "");
    }
    std::printf("\n");
  }
  ExpectOnlyMsiexecLogsLeft();
}

TEST_F(UnattendedScenario, QuietShortcutSwitchCreatesTheShortcutAndTheLogCopyHasEveryLine) {
  Offer118();
  const std::wstring copy = temp / L"Deploy Logs\\velmora setup.log";
  CreateDirectoryW((temp / L"Deploy Logs").c_str(), nullptr);
  const SetupRunResult run = RunWith(L"-QUIET /Shortcut /norestart /log \"" + copy + L"\"");
  ASSERT_TRUE(run.exited);
  EXPECT_EQ(run.exitCode, 0u);
  ExpectNothingShown(run);
  EXPECT_TRUE(test::PathExists(test::DesktopShortcutPath()));
  EXPECT_FALSE(test::WaitForSampleWindow(500)) << "nothing is launched";
  EXPECT_TRUE(InOrder(Log(), {"Unattended run (/quiet /shortcut).", "Unattended finish: launch=0 shortcut=1.",
                              "Unattended run ends with exit code 0."}));
  // The copy holds this run's lines, the same as the log's own.
  const std::vector<std::string> copied = test::LogMessages(copy);
  ASSERT_FALSE(copied.empty());
  EXPECT_EQ(copied, Log());
}

TEST_F(UnattendedScenario, QuietRunWithoutTheWebView2RuntimeAsksNothingAndLogsOneLine) {
  test::ScopedEnvironmentVariable noRuntime(L"ProgramFiles(x86)", temp.Path());
  Offer118();
  const SetupRunResult run = RunWith(L"/quiet");
  ASSERT_TRUE(run.exited);
  EXPECT_EQ(run.exitCode, 0u);
  ExpectNothingShown(run);
  const std::vector<std::string> log = Log();
  EXPECT_EQ(std::count_if(log.begin(), log.end(),
                          [](const std::string& line) { return line.find("WebView2") != std::string::npos; }),
            1);
  EXPECT_TRUE(
      InOrder(log, {"Microsoft Edge WebView2 Runtime is missing; unattended run, continuing without it.",
                    "Setup started (PID ", "Unattended run ends with exit code 0."}));
}

// The progress window shows and closes by itself; Windows Installer gets its own progress
// with nothing to click.
TEST_F(UnattendedScenario, PassiveRunShowsTheProgressWindowAndEndsByItself) {
  PreInstall("1.0.0");
  Offer118();
  SetupRunOptions options;
  options.arguments = L"/passive";
  options.recordWindows = true;
  options.pressFinish = false;
  options.screenshotPrefix = test::ArtifactsFolder() + L"\\e2e-passive";
  const SetupRunResult run = Run(options);
  ASSERT_TRUE(run.exited);
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_FALSE(run.finishScreenSeen);
  EXPECT_TRUE(run.messageBoxes.empty());
  EXPECT_EQ(VisibleWindows(run.windows), std::vector<std::wstring>{L"VelmoraSetupWindow 'Velmora Setup'"});
  EXPECT_TRUE(
      InOrder(Log(), {"Unattended run (/passive).", "Starting Windows Installer: msiexec.exe /i ",
                      "Finish screen skipped for operation 2 (unattended run).",
                      "Unattended finish: launch=0 shortcut=0.", "Unattended run ends with exit code 0."}));
  const std::vector<std::string> log = Log();
  const auto start = std::find_if(log.begin(), log.end(), [](const std::string& line) {
    return line.rfind("Starting Windows Installer: ", 0) == 0;
  });
  ASSERT_NE(start, log.end());
  EXPECT_NE(start->find("\" /qb! /norestart /l*v \""), std::string::npos) << *start;
  EXPECT_EQ(RegistryValue(L"Version"), L"1.1.8");
  EXPECT_FALSE(test::WaitForSampleWindow(500)) << "nothing is launched";
}

// Windows Installer busy with another installation, and asking for a restart: codes Wine's own
// msiexec never gives, so a stand-in takes its place in the system folder.
TEST_F(UnattendedScenario, InstallerCodesFromAStandInMsiexecBecomeTheRunsExitCode) {
  struct Case {
    const char* name;
    const wchar_t* plan;
    const wchar_t* arguments;
    DWORD exitCode;
    std::vector<std::string> lines;
  };
  const std::vector<Case> cases = {
      {"busy, quiet",
       L"1618",
       L"/quiet",
       1618,
       {"Another installation is in progress (exit code 1618); leaving the installed product as it is.",
        "Another installation is running on this computer. Wait until it has finished, then run Velmora "
        "Setup again.",
        "Unattended run ends with exit code 1618."}},
      {"restart required, quiet",
       L"3010",
       L"/quiet",
       3010,
       {"Windows Installer asked for a restart of the computer (exit code 3010) to finish the install.",
        "Unattended run ends with exit code 3010."}},
      {"restart started, passive",
       L"1641",
       L"/passive",
       3010,
       {"Windows Installer asked for a restart of the computer (exit code 1641) to finish the install.",
        "Finish screen skipped for operation 1 (unattended run).",
        "Unattended run ends with exit code 3010."}},
      {"failed, quiet",
       L"1603",
       L"/quiet",
       1603,
       {"Velmora could not be installed after repairing the previous copy. ",
        "Unattended run ends with exit code 1603."}},
      {"cancelled, quiet",
       L"1602",
       L"/quiet",
       1602,
       {"Windows Installer was cancelled (exit code 1602); leaving the installed product as it is.",
        "Unattended run ends with exit code 1602."}},
  };
  Offer118();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const test::SystemMsiexecStandIn standIn(c.plan);
    ASSERT_TRUE(standIn.Planted());
    const std::size_t logBefore = Log().size();
    const SetupRunResult run = RunWith(c.arguments);
    ASSERT_TRUE(run.exited);
    EXPECT_EQ(run.exitCode, c.exitCode);
    EXPECT_TRUE(run.messageBoxes.empty());
    if (std::wstring(c.arguments) == L"/quiet") ExpectNothingShown(run);
    const std::vector<std::string> log = Log();
    EXPECT_TRUE(InOrder({log.begin() + static_cast<std::ptrdiff_t>(logBefore), log.end()}, c.lines));
    ASSERT_FALSE(standIn.Runs().empty()) << "the stand-in was not run";
    const std::string ui =
        std::wstring(c.arguments) == L"/quiet" ? "\" /qn /norestart" : "\" /qb! /norestart";
    EXPECT_NE(standIn.Runs()[0].commandLine.find(ui), std::string::npos) << standIn.Runs()[0].commandLine;
  }
}

// A person runs setup and Windows Installer asks for a restart: the run still succeeds (0),
// the finish screen says a restart is needed and leaves the launch switched off.
TEST_F(UnattendedScenario, RestartFromAStandInMsiexecShowsTheRestartLineAndLeavesLaunchOff) {
  Offer118();
  const test::SystemMsiexecStandIn standIn(L"3010");
  ASSERT_TRUE(standIn.Planted());
  SetupRunOptions options;
  options.unselectShortcut = true;  // the stand-in installs no files to link to
  options.screenshotPrefix = test::ArtifactsFolder() + L"\\e2e-restart-required";
  const SetupRunResult run = Run(options);
  ASSERT_TRUE(run.exited);
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_TRUE(run.finishScreenSeen);
  EXPECT_TRUE(run.messageBoxes.empty());
  // Finish pressed without touching the launch option: it started unchecked.
  EXPECT_TRUE(
      InOrder(Log(), {"Windows Installer asked for a restart of the computer (exit code 3010) to finish "
                      "the install.",
                      "Finish screen shown for operation 1.", "Finish requested: launch=0 shortcut=0."}));
}

TEST_F(UnattendedScenario, ArgumentsNotUnderstoodEndWith87AndALogLine) {
  const struct {
    const wchar_t* arguments;
    const char* line;
  } cases[] = {
      {L"/silent", "Command line not understood: unknown argument \"/silent\"; ending with exit code 87."},
      {L"--fallback-manifest=1",
       "Command line not understood: unknown argument \"--fallback-manifest=1\"; ending with exit code 87."},
      {L"/quiet /log",
       "Command line not understood: /log needs the path of a file after it; ending with exit code 87."},
  };
  for (const auto& c : cases) {
    const std::size_t logBefore = Log().size();
    const SetupRunResult run = RunWith(c.arguments);
    ASSERT_TRUE(run.exited);
    EXPECT_EQ(run.exitCode, 87u);
    ExpectNothingShown(run);
    const std::vector<std::string> log = Log();
    EXPECT_EQ(std::vector<std::string>(log.begin() + static_cast<std::ptrdiff_t>(logBefore), log.end()),
              std::vector<std::string>{c.line});
  }
}

// The switch is an argument now, not text anywhere in the command line: a folder of that name
// around the program leaves the manifest to be downloaded.
TEST_F(UnattendedScenario, FallbackSwitchInTheProgramsFolderNameIsNoSwitch) {
  Offer118();
  const std::filesystem::path folder = std::filesystem::path(temp.Path()) / L"--fallback-manifest";
  std::filesystem::create_directories(folder);
  const std::wstring program = (folder / L"VelmoraSetup.exe").wstring();
  ASSERT_TRUE(CopyFileW(test::SetupProgramPath().c_str(), program.c_str(), FALSE));
  const std::size_t requestsBefore = test::ServerRequestLog().size();
  SetupRunOptions options;
  options.program = program;
  options.arguments = L"/quiet";
  const SetupRunResult run = Run(options);
  ASSERT_TRUE(run.exited);
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_TRUE(InOrder(Log(), {"Manifest version=1.1.8 url=https://cdn.velmora.test/",
                              "Unattended run ends with exit code 0."}));
  EXPECT_NE(test::ServerRequestLog().substr(requestsBefore).find("/installer/manifest.json"),
            std::string::npos);
  EXPECT_EQ(RegistryValue(L"Version"), L"1.1.8");
  DeleteFileW(program.c_str());
}

// Another process holds the single-instance mutex without ever showing a window: an unattended
// copy tells its deployment tool to try again, and says so in the log.
TEST_F(UnattendedScenario, SquattedMutexEndsWith1618AndALogLine) {
  const HANDLE mutex = CreateMutexW(nullptr, TRUE, L"Local\\VelmoraSetup_SingleInstance");
  ASSERT_NE(mutex, nullptr);
  const SetupRunResult run = RunWith(L"/quiet");
  CloseHandle(mutex);
  ASSERT_TRUE(run.exited);
  EXPECT_EQ(run.exitCode, 1618u);
  ExpectNothingShown(run);
  EXPECT_TRUE(InOrder(Log(), {"Unattended run (/quiet).", "Velmora Setup is already running (PID ",
                              "Velmora Setup is already running."}));
  EXPECT_EQ(RegistryValue(L"Version"), L"");
}

// A package host that cuts the connection mid-body, and one that stops sending: the system
// downloader then only gives up (its stall watch aborts it, or its minimum rate stops it,
// whichever comes first), and the message names what went wrong first instead. Wine's WinHTTP
// reports the socket's own codes here. Each run takes a minute or two: the waits are the
// program's own.
struct CutDownload {
  const char* name;
  const char* behaviour;
  const char* reason;
};
const CutDownload kCutDownloads[] = {
    {"reset", "cut=100000,reset", "The connection was cut (code 10054)."},
    {"stall", "cut=100000,stall", "The server did not answer (code 10060)."},
};
constexpr char kDownloadFailedMessage[] =
    "Could not download the Velmora installer. If you use a proxy, VPN, or antivirus web shield, allow "
    "Velmora Setup and try again. ";

class CutDownloadScenario : public UnattendedScenario {
 protected:
  // The package's URL path, published and then cut as the case says.
  void CutThePackage(const CutDownload& cut) {
    const std::string url = Offer118();
    const std::string path = url.substr(url.find("/downloads/"));
    ASSERT_TRUE(test::SetServerBehaviour("{\"" + path + "\": \"" + cut.behaviour + "\"}"));
  }
};

TEST_F(CutDownloadScenario, QuietRunLogsItsOwnCauseAndEndsWith1619) {
  for (const CutDownload& c : kCutDownloads) {
    SCOPED_TRACE(c.name);
    CutThePackage(c);
    const std::size_t logBefore = Log().size();
    const SetupRunResult run = RunWith(L"/quiet");
    ASSERT_TRUE(run.exited);
    EXPECT_EQ(run.exitCode, 1619u);
    ExpectNothingShown(run);
    const std::vector<std::string> log = Log();
    EXPECT_TRUE(InOrder(
        {log.begin() + static_cast<std::ptrdiff_t>(logBefore), log.end()},
        {"Windows downloader failed: Windows downloader ",
         std::string("Installer download failed: ") + c.reason,
         kDownloadFailedMessage + std::string(c.reason), "Unattended run ends with exit code 1619."}));
  }
}

// The same faults with a person watching: each box names its own cause, and the screenshots
// (build/win/artifacts/e2e-download-*-box1.png) differ.
TEST_F(CutDownloadScenario, InteractiveRunShowsItsOwnCauseInTheBox) {
  std::vector<std::string> boxShots;
  for (const CutDownload& c : kCutDownloads) {
    SCOPED_TRACE(c.name);
    CutThePackage(c);
    SetupRunOptions options;
    options.screenshotPrefix = test::ArtifactsFolder() + L"\\e2e-download-" + test::Widen(c.name);
    options.timeoutMilliseconds = 180000;
    const SetupRunResult run = Run(options);
    ASSERT_TRUE(run.exited);
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_EQ(run.messageBoxes,
              std::vector<std::wstring>{test::Widen(kDownloadFailedMessage + std::string(c.reason))});
    boxShots.push_back(test::ReadWholeFile(options.screenshotPrefix + L"-box1.png"));
    EXPECT_FALSE(boxShots.back().empty());
  }
  EXPECT_NE(boxShots.front(), boxShots.back()) << "the two boxes look the same";
}

}  // namespace
}  // namespace velmora

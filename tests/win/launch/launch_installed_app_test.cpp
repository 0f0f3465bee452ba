#include "launch/win/launch_installed_app.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "base/bootstrap_log.h"
#include "launch_support.h"
#include "msi_support.h"
#include "ui_dialog_driver.h"

namespace velmora {
namespace {

using test::SampleInstall;
using test::ScopedEnvironmentVariable;
using test::ShellWindowOwner;
using test::msi::SetupLogCapture;
using Lines = std::vector<std::string>;

constexpr wchar_t kMissingFolderBox[] = L"Velmora is installed, but its install folder could not be found.";
constexpr wchar_t kMissingExecutableBox[] = L"Velmora is installed, but Velmora.exe could not be found.";
constexpr wchar_t kStartFailedBox[] =
    L"Velmora was installed successfully, but Windows could not start it.\n\n"
    L"Try opening it from the Start menu.";
constexpr wchar_t kNoWindowBox[] =
    L"Velmora was installed successfully, but it could not open automatically.\n\n"
    L"Try opening it from the Start menu.\n\nDiagnostic log:\n";

constexpr char kFocused[] = "Existing Velmora window focused.";
constexpr char kAsUser[] = "Velmora launched in the signed-in user context.";
constexpr char kWithToken[] = "Velmora launched with the signed-in user token.";
constexpr char kNoToken[] =
    "Velmora not launched: no signed-in user's token (no shell window); it is not started as administrator.";
constexpr char kNotAsAdministrator[] =
    "Velmora not launched: it is not started with the administrator token instead.";
constexpr char kVisible[] = "Velmora window is visible.";
constexpr char kStillRunning[] =
    "Velmora window did not appear within 30 seconds; the process is still running.";
constexpr char kStartedPrefix[] = "Velmora process started with PID ";
constexpr char kStartedLine[] = "Velmora process started with PID N.";

// A limit far beyond the test's own time-out: a call that returns at all did not wait it out.
constexpr ULONGLONG kLimitNeverReached = 60ull * 60 * 1000;

// How the token attempts fail on Windows (the privilege missing, the secondary logon service
// stopped); Wine fails neither for a valid token, so these come from the seam.
constexpr DWORD kAsUserError = ERROR_PRIVILEGE_NOT_HELD;
constexpr DWORD kWithTokenError = ERROR_SERVICE_NOT_ACTIVE;

std::string Quoted(const std::wstring& path) { return "\"" + test::Narrow(path) + "\""; }
std::string LaunchingLine(const SampleInstall& install) {
  return "Launching " + test::Narrow(install.ExePath()) + ".";
}

// The messages with the process identifier taken out of its line.
Lines WithoutPid(const Lines& messages) {
  Lines lines;
  for (const std::string& message : messages) {
    lines.push_back(message.rfind(kStartedPrefix, 0) == 0 ? kStartedLine : message);
  }
  return lines;
}

DWORD LoggedPid(const SetupLogCapture& log) {
  const Lines lines = test::MessagesStartingWith(log.Messages(), kStartedPrefix);
  return lines.empty() ? 0 : std::stoul(lines.front().substr(sizeof kStartedPrefix - 1));
}

// A desktop shell runs, as on a signed-in desktop, unless a test ends it: without one nothing
// is started.
class LaunchInstalledAppTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(FindApplicationWindow(), nullptr) << "a Velmora window was open before the test";
    shell.emplace();
    ASSERT_TRUE(shell->Ready());
  }
  void TearDown() override { install.EndLaunched(log.Messages()); }

  void ExpectOneBox(const std::wstring& text) {
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].owner, nullptr);
    EXPECT_EQ(boxes[0].text, text);
    EXPECT_EQ(boxes[0].caption, L"Velmora");
    EXPECT_EQ(boxes[0].icon, NoticeIcon::Warning);
  }

  // The sample reported exactly the quoted path as its command line, in the install folder,
  // from the process the log names.
  void ExpectStartedAsInstalled() {
    const auto report = install.Report();
    ASSERT_FALSE(report.empty()) << "the sample wrote no report";
    EXPECT_EQ(report.at("command_line"), Quoted(install.ExePath()));
    EXPECT_EQ(report.at("current_directory"), test::Narrow(install.Folder()));
    EXPECT_EQ(report.at("pid"), std::to_string(LoggedPid(log)));
  }

  SetupLogCapture log;
  SampleInstall install;
  std::vector<Notice> boxes;
  std::optional<ShellWindowOwner> shell;
};

// A window of this test process with the title and class a row asks for, shown minimised.
class OwnWindow {
 public:
  OwnWindow(const wchar_t* className, const wchar_t* title) : className_(className) {
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = className;
    RegisterClassExW(&windowClass);
    window_ = CreateWindowExW(0, className, title, WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
    ShowWindow(window_, SW_MINIMIZE);
  }
  ~OwnWindow() {
    DestroyWindow(window_);
    UnregisterClassW(className_, GetModuleHandleW(nullptr));
  }
  OwnWindow(const OwnWindow&) = delete;
  OwnWindow& operator=(const OwnWindow&) = delete;
  HWND Get() const { return window_; }

 private:
  const wchar_t* className_;
  HWND window_ = nullptr;
};

TEST_F(LaunchInstalledAppTest, OpenWindowByTitleOrByClassIsRestoredAndFocusedAndNothingStarts) {
  install.SetControl("report");
  struct Case {
    const wchar_t* className;
    const wchar_t* title;
  };
  for (const Case& c : {Case{L"VelmoraTestOtherClass", L"Velmora"}, Case{L"VelmoraNativeClass", L"Other"}}) {
    SCOPED_TRACE(test::Narrow(c.className) + " / " + test::Narrow(c.title));
    const OwnWindow window(c.className, c.title);
    ASSERT_NE(window.Get(), nullptr);
    ASSERT_TRUE(IsIconic(window.Get()));
    EXPECT_TRUE(LaunchInstalledApp(test::RecordingBoxes(boxes)));
    EXPECT_FALSE(IsIconic(window.Get()));
    EXPECT_EQ(GetForegroundWindow(), window.Get());
  }
  EXPECT_EQ(log.Messages(), (Lines{kFocused, kFocused}));
  EXPECT_TRUE(boxes.empty());
  EXPECT_TRUE(install.Report().empty()) << "the installed copy was started";
}

TEST_F(LaunchInstalledAppTest, RunningApplicationIsFocusedAndKeepsRunning) {
  // A copy of the sample that the test starts from a folder of its own.
  test::TempFolder elsewhere;
  ASSERT_TRUE(CopyFileW(install.ExePath().c_str(), (elsewhere / L"Velmora.exe").c_str(), FALSE));
  ScopedProcessInformation started;
  const std::wstring commandLine = L"\"" + (elsewhere / L"Velmora.exe") + L"\"";
  ASSERT_TRUE(test::StartChild({L"", commandLine, elsewhere.Path()}, started));
  const HANDLE process = started.Process();
  HWND window = nullptr;
  for (int i = 0; i < 300 && window == nullptr; ++i, Sleep(50)) window = FindApplicationWindow();
  ASSERT_NE(window, nullptr) << "the sample showed no window";
  ShowWindow(window, SW_MINIMIZE);
  install.SetControl("report");

  EXPECT_TRUE(LaunchInstalledApp(test::RecordingBoxes(boxes)));
  EXPECT_FALSE(IsIconic(window));
  EXPECT_EQ(GetForegroundWindow(), window);
  EXPECT_EQ(log.Messages(), Lines{kFocused});
  EXPECT_TRUE(test::ProcessIsRunning(started.ProcessId()));
  EXPECT_TRUE(install.Report().empty()) << "the installed copy was started";

  TerminateProcess(process, 0);
  WaitForSingleObject(process, 10000);
}

// A copy of the installed file that runs without a window is stopped; a Velmora.exe in another
// folder is someone else's and keeps running.
TEST_F(LaunchInstalledAppTest, CopyRunningWithoutAWindowIsStoppedBeforeTheStart) {
  const test::TempFolder elsewhere;
  const test::msi::RunningCopy copy(install.ExePath(), install.ExePath());
  const test::msi::RunningCopy other(install.ExePath(), elsewhere / L"Velmora.exe");
  ASSERT_TRUE(copy.Started());
  ASSERT_TRUE(other.Started());
  install.SetControl("report");

  EXPECT_TRUE(LaunchInstalledApp(test::RecordingBoxes(boxes)));
  EXPECT_TRUE(copy.HasEnded()) << "the running copy was left alone";
  EXPECT_FALSE(other.HasEnded()) << "a Velmora.exe in another folder was stopped";
  ExpectStartedAsInstalled();
  const Lines messages = log.Messages();
  ASSERT_GE(messages.size(), 2u);
  EXPECT_EQ(messages[0],
            "Stopping existing Velmora process " + std::to_string(copy.Pid()) + ": it has no window to ask.");
  EXPECT_EQ(messages[1], LaunchingLine(install));
}

TEST_F(LaunchInstalledAppTest, MissingInstallFolderShowsItsBox) {
  // No folder in the record and no ProgramFiles to form the default from.
  test::ScopedInstallerKey emptyRecord;
  ScopedEnvironmentVariable noProgramFiles(L"ProgramFiles", std::nullopt);
  EXPECT_FALSE(LaunchInstalledApp(test::RecordingBoxes(boxes)));
  EXPECT_EQ(log.Messages(), Lines{"Installed Velmora folder is missing."});
  ExpectOneBox(kMissingFolderBox);
}

TEST_F(LaunchInstalledAppTest, MissingExecutableOrADirectoryOfItsNameShowsItsBox) {
  ASSERT_TRUE(DeleteFileW(install.ExePath().c_str()));
  for (const bool directory : {false, true}) {
    SCOPED_TRACE(directory ? "directory named Velmora.exe" : "no Velmora.exe");
    if (directory) {
      ASSERT_TRUE(CreateDirectoryW(install.ExePath().c_str(), nullptr));
    }
    boxes.clear();
    EXPECT_FALSE(LaunchInstalledApp(test::RecordingBoxes(boxes)));
    EXPECT_EQ(log.Messages().back(), "Velmora.exe is missing from " + test::Narrow(install.Folder()) + ".");
    ExpectOneBox(kMissingExecutableBox);
  }
  EXPECT_EQ(log.Messages().size(), 2u);
  RemoveDirectoryW(install.ExePath().c_str());
}

// The production call shows the system's own message box; a test thread answers it.
TEST_F(LaunchInstalledAppTest, ProductionCallShowsARealMessageBoxWithoutOwner) {
  ASSERT_TRUE(DeleteFileW(install.ExePath().c_str()));
  test::DialogDriver driver(L"Velmora", {test::DialogAnswer{IDOK, false}}, [this] { return log.Messages(); });
  EXPECT_FALSE(LaunchInstalledApp());
  const std::vector<test::SeenDialog> seen = driver.Finish();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_TRUE(seen[0].expected);
  EXPECT_EQ(seen[0].owner, nullptr);
  EXPECT_TRUE(test::ShowsText(seen[0], kMissingExecutableBox));
  EXPECT_TRUE(test::ShowsText(seen[0], L"OK"));
  EXPECT_EQ(seen[0].logWhenShown,
            Lines{"Velmora.exe is missing from " + test::Narrow(install.Folder()) + "."});
}

TEST_F(LaunchInstalledAppTest, ProcessExitingAtOnceGivesItsFullExitCodeAndTheBoxWithoutWaiting) {
  install.SetControl("report\nexit 1605");
  LaunchCalls calls = test::RecordingBoxes(boxes);
  calls.windowWaitMs = kLimitNeverReached;
  EXPECT_FALSE(LaunchInstalledApp(calls));
  ExpectStartedAsInstalled();
  EXPECT_EQ(WithoutPid(log.Messages()), (Lines{LaunchingLine(install), kAsUser, kStartedLine,
                                               "Velmora exited before showing a window (exit code 1605)."}));
  ExpectOneBox(kNoWindowBox + GetLogFilePath());
}

// The program's own launch waits 30 seconds for the window; the tests shorten it at the seam.
TEST(LaunchCallsDefaults, WindowWaitIsThirtySeconds) { EXPECT_EQ(LaunchCalls{}.windowWaitMs, 30000u); }

TEST_F(LaunchInstalledAppTest, ProcessWithoutWindowIsLeftRunningAtTheLimitShortenedAtSeam) {
  install.SetControl("report\nnowindow");
  LaunchCalls calls = test::RecordingBoxes(boxes);
  calls.windowWaitMs = 1500;
  EXPECT_FALSE(LaunchInstalledApp(calls));
  ExpectStartedAsInstalled();
  EXPECT_EQ(WithoutPid(log.Messages()),
            (Lines{LaunchingLine(install), kAsUser, kStartedLine, kStillRunning}));
  EXPECT_TRUE(test::ProcessIsRunning(LoggedPid(log)));
  ExpectOneBox(kNoWindowBox + GetLogFilePath());
}

TEST_F(LaunchInstalledAppTest, EmptyLogPathEndsTheBoxWithTheLiteralLogPath) {
  install.SetControl("exit 3");
  const test::TempFolder parent;
  const test::RedirectedShellFolder noMachineData(HKEY_LOCAL_MACHINE, test::kMachineDataFolderValue,
                                                  parent / L"not there");
  ASSERT_EQ(GetLogFilePath(), L"");
  EXPECT_FALSE(LaunchInstalledApp(test::RecordingBoxes(boxes)));
  ExpectOneBox(std::wstring(kNoWindowBox) + L"%ProgramData%\\Velmora\\Setup\\bootstrapper.log");
}

// One attempt of a token start, as the launch asked for it.
struct TokenAttempt {
  const char* api;
  std::wstring application;
  std::wstring commandLine;
  std::wstring folder;
  DWORD flags;
  bool environment;
};

// How the start of a row goes: with or without a desktop shell, and which calls fail at the
// seam (the others are the system's own, watched on their way through).
enum class Shell { None, Open, RefusingAccess };

struct StartPath {
  const char* name;
  Shell shell;
  bool environmentFails;
  bool asUserFails;
  bool withTokenFails;
  // The lines after "Launching ...": up to the PID line, or all when nothing starts.
  std::vector<std::string> lines;
  std::vector<const char*> attempts;
  bool starts = true;
};

void PrintTo(const StartPath& path, std::ostream* out) { *out << path.name; }

LaunchCalls WatchedCalls(const StartPath& path, std::vector<Notice>& boxes,
                         std::vector<TokenAttempt>& attempts) {
  LaunchCalls calls = test::RecordingBoxes(boxes);
  if (path.environmentFails) {
    calls.createEnvironmentBlock = [](LPVOID* block, HANDLE, BOOL) {
      *block = nullptr;
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return FALSE;
    };
  }
  calls.createProcessAsUser = [&path, &attempts](HANDLE token, LPCWSTR application, LPWSTR commandLine,
                                                 LPSECURITY_ATTRIBUTES processAttributes,
                                                 LPSECURITY_ATTRIBUTES threadAttributes, BOOL inherit,
                                                 DWORD flags, LPVOID environment, LPCWSTR folder,
                                                 LPSTARTUPINFOW startup, LPPROCESS_INFORMATION process) {
    attempts.push_back({"as user", application, commandLine, folder, flags, environment != nullptr});
    if (path.asUserFails) {
      SetLastError(kAsUserError);
      return FALSE;
    }
    return CreateProcessAsUserW(token, application, commandLine, processAttributes, threadAttributes, inherit,
                                flags, environment, folder, startup, process);
  };
  calls.createProcessWithToken = [&path, &attempts](HANDLE token, DWORD logon, LPCWSTR application,
                                                    LPWSTR commandLine, DWORD flags, LPVOID environment,
                                                    LPCWSTR folder, LPSTARTUPINFOW startup,
                                                    LPPROCESS_INFORMATION process) {
    attempts.push_back({"with token", application, commandLine, folder, flags, environment != nullptr});
    if (path.withTokenFails) {
      SetLastError(kWithTokenError);
      return FALSE;
    }
    return CreateProcessWithTokenW(token, logon, application, commandLine, flags, environment, folder,
                                   startup, process);
  };
  return calls;
}

class LaunchStartPathTest : public LaunchInstalledAppTest, public ::testing::WithParamInterface<StartPath> {};

// Only the signed-in user's token starts the application; without it, or when both ways of
// using it fail, nothing is started rather than the application running as administrator.
TEST_P(LaunchStartPathTest, StartsTheQuotedPathInTheInstallFolderAsTheSignedInUserOnly) {
  const StartPath& path = GetParam();
  shell.reset();
  if (path.shell != Shell::None) {
    shell.emplace(path.shell == Shell::RefusingAccess);
    ASSERT_TRUE(shell->Ready());
  } else {
    // Wine runs no desktop shell of its own.
    ASSERT_EQ(GetShellWindow(), nullptr);
  }
  install.SetControl("report");
  std::vector<TokenAttempt> attempts;

  EXPECT_EQ(LaunchInstalledApp(WatchedCalls(path, boxes, attempts)), path.starts);

  if (path.starts) {
    EXPECT_TRUE(boxes.empty());
    ExpectStartedAsInstalled();
    Lines expected{LaunchingLine(install)};
    expected.insert(expected.end(), path.lines.begin(), path.lines.end());
    expected.insert(expected.end(), {kStartedLine, kVisible});
    EXPECT_EQ(WithoutPid(log.Messages()), expected);
  } else {
    ExpectOneBox(kStartFailedBox);
    EXPECT_TRUE(install.Report().empty()) << "the installed copy was started";
    // The launch is announced only once there is a token to launch with.
    Lines expected = path.attempts.empty() ? Lines{} : Lines{LaunchingLine(install)};
    expected.insert(expected.end(), path.lines.begin(), path.lines.end());
    EXPECT_EQ(log.Messages(), expected);
  }

  ASSERT_EQ(attempts.size(), path.attempts.size());
  const DWORD flags = path.environmentFails ? 0 : CREATE_UNICODE_ENVIRONMENT;
  for (std::size_t i = 0; i < attempts.size(); ++i) {
    SCOPED_TRACE(attempts[i].api);
    EXPECT_STREQ(attempts[i].api, path.attempts[i]);
    EXPECT_EQ(attempts[i].application, install.ExePath());
    EXPECT_EQ(test::Narrow(attempts[i].commandLine), Quoted(install.ExePath()));
    EXPECT_EQ(attempts[i].folder, install.Folder());
    EXPECT_EQ(attempts[i].flags, flags);
    EXPECT_EQ(attempts[i].environment, !path.environmentFails);
  }
}

const std::string kAsUserFailed =
    "CreateProcessAsUserW failed: " + std::to_string(kAsUserError) + "; trying token API.";
const std::string kWithTokenFailed =
    "CreateProcessWithTokenW failed: " + std::to_string(kWithTokenError) + ".";

INSTANTIATE_TEST_SUITE_P(
    Paths, LaunchStartPathTest,
    ::testing::Values(
        StartPath{"NoShellWindow", Shell::None, false, false, false, {kNoToken}, {}, false},
        StartPath{
            "ShellProcessRefusingAccess", Shell::RefusingAccess, false, false, false, {kNoToken}, {}, false},
        StartPath{"ShellUserToken", Shell::Open, false, false, false, {kAsUser}, {"as user"}},
        StartPath{"EnvironmentBlockFailsAtSeam", Shell::Open, true, false, false, {kAsUser}, {"as user"}},
        StartPath{"AsUserFailsAtSeam",
                  Shell::Open,
                  false,
                  true,
                  false,
                  {kAsUserFailed, kWithToken},
                  {"as user", "with token"}},
        StartPath{"BothTokenStartsFailAtSeam",
                  Shell::Open,
                  false,
                  true,
                  true,
                  {kAsUserFailed, kWithTokenFailed, kNotAsAdministrator},
                  {"as user", "with token"},
                  false}),
    [](const ::testing::TestParamInfo<StartPath>& info) { return std::string(info.param.name); });

// An executable that is no program fails every way of starting it, for real.
class LaunchStartFailureTest : public LaunchInstalledAppTest, public ::testing::WithParamInterface<bool> {};

TEST_P(LaunchStartFailureTest, EveryAttemptFailsAndTheStartFailedBoxShows) {
  const bool withShell = GetParam();
  if (!withShell) shell.reset();
  test::WriteWholeFile(install.ExePath(), "not a program");
  EXPECT_FALSE(LaunchInstalledApp(test::RecordingBoxes(boxes)));
  const std::string code = std::to_string(ERROR_BAD_EXE_FORMAT);
  const Lines expected =
      withShell
          ? Lines{LaunchingLine(install), "CreateProcessAsUserW failed: " + code + "; trying token API.",
                  "CreateProcessWithTokenW failed: " + code + ".", kNotAsAdministrator}
          : Lines{kNoToken};
  EXPECT_EQ(log.Messages(), expected);
  ExpectOneBox(kStartFailedBox);
}

INSTANTIATE_TEST_SUITE_P(Shell, LaunchStartFailureTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "ShellWindow" : "NoShellWindow";
                         });

}  // namespace
}  // namespace velmora

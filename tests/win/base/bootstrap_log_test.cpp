#include "base/bootstrap_log.h"

#include <gtest/gtest.h>

#include <optional>
#include <regex>

#include "net_test_support.h"
#include "win_test_support.h"

namespace velmora {
namespace {

using test::ChildRun;
using test::RedirectedShellFolder;
using test::ScopedEnvironmentVariable;
using test::TempFolder;

// The machine-wide data folder pointed at a path while this lives.
class MachineDataAt : public RedirectedShellFolder {
 public:
  explicit MachineDataAt(const std::wstring& path)
      : RedirectedShellFolder(HKEY_LOCAL_MACHINE, test::kMachineDataFolderValue, path) {}
};

// Runs a shell command on the Unix side and waits for its end: links made or removed there are
// the link itself, where Windows calls would act on its target.
bool RunOnUnixSide(const std::string& script) {
  test::UnixRun run;
  return test::RunUnixScript(script, run) && run.exitStatus == 0;
}

bool RemoveLink(const std::wstring& link) {
  return RunOnUnixSide("rm " + test::ShellQuote(test::UnixPathOf(link)));
}

class BootstrapLogTest : public ::testing::Test {
 protected:
  std::wstring LogPath() const { return programData.LogPath(); }
  std::string LogText() const { return test::ReadWholeFile(LogPath()); }

  // Logs the lines from a child process that this test debugs.
  ChildRun LogFromChild(const std::wstring& arguments) {
    ChildRun run;
    EXPECT_TRUE(test::RunCollectingDebugOutput(
        L"\"" + test::TestBinaryFolder() + L"\\win_log_child.exe\" " + arguments, run));
    return run;
  }

  test::OwnMachineDataFolder programData;
};

TEST_F(BootstrapLogTest, FirstLineCreatesBothFoldersAndLaterLinesAppend) {
  ASSERT_FALSE(test::PathExists(programData / L"Velmora"));
  LogMessage("Setup started (PID %lu).", 42ul);
  EXPECT_TRUE(test::PathExists(programData / L"Velmora\\Setup"));
  LogMessage("second %ls %s", L"wide", "narrow");
  const std::string text = LogText();
  const std::regex twoLines(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d Setup started \(PID 42\)\.\n)"
                            R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d second wide narrow\n)");
  EXPECT_TRUE(std::regex_match(text, twoLines)) << text;
  EXPECT_EQ(text.find('\r'), std::string::npos);
}

// Paths under a Cyrillic or CJK user name reach the log whole, as UTF-8, with the text after
// them; the program never sets a locale, so the C locale's conversion must not cut them.
TEST_F(BootstrapLogTest, WideArgumentsOutsideLatin1AreWrittenWholeAsUtf8) {
  LogMessage("Installer downloaded to %ls.",
             L"C:\\Users\\\u041f\u0451\u0442\u0440\\AppData\\Local\\Temp\\a.msi");
  LogMessage("Uninstalling broken product %ls then %s.", L"\u5c71\u7530\u00e9", "narrow");
  const std::string text = LogText();
  EXPECT_NE(text.find(" Installer downloaded to "
                      "C:\\Users\\\xd0\x9f\xd1\x91\xd1\x82\xd1\x80\\AppData\\Local\\Temp\\a.msi.\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find(" Uninstalling broken product \xe5\xb1\xb1\xe7\x94\xb0\xc3\xa9 then narrow.\n"),
            std::string::npos)
      << text;
}

TEST_F(BootstrapLogTest, TimeStampIsTheLocalTime) {
  SYSTEMTIME before = {};
  GetLocalTime(&before);
  LogMessage("stamp");
  char expectedDate[16] = {};
  std::snprintf(expectedDate, sizeof expectedDate, "%04u-%02u-%02u ", before.wYear, before.wMonth,
                before.wDay);
  EXPECT_EQ(LogText().substr(0, 11), expectedDate);
  EXPECT_EQ(LogText().substr(19), " stamp\n");
}

TEST_F(BootstrapLogTest, LongMessageIsCutAndStillOneLine) {
  LogMessage("%s", std::string(3000, 'm').c_str());
  const std::string text = LogText();
  ASSERT_EQ(text.size(), 20u + 2047u + 1u);
  EXPECT_EQ(text.substr(20), std::string(2047, 'm') + "\n");
}

TEST_F(BootstrapLogTest, GetLogFilePathIsUnderTheMachineDataFolderTheSystemGives) {
  EXPECT_EQ(GetLogFilePath(), programData.Path() + L"\\Velmora\\Setup\\bootstrapper.log");
  const MachineDataAt missing(programData / L"not there");
  EXPECT_EQ(GetLogFilePath(), L"");
}

// Any parent process can set the variable, and a same-user elevation builds the environment
// from values the user can write: an elevated log written where it points would let a user
// create folders and files in any protected folder, through a link or directly.
TEST_F(BootstrapLogTest, TheProgramDataVariablePlaysNoPart) {
  wchar_t system[MAX_PATH] = {};
  ASSERT_NE(GetSystemDirectoryW(system, MAX_PATH), 0u);
  const TempFolder links;
  const std::wstring intoSystem = links / L"data";
  ASSERT_TRUE(test::MakeUnixSymlink(system, intoSystem));
  struct Case {
    const char* name;
    std::optional<std::wstring> variable;
  };
  for (const Case& c :
       {Case{"a link into the system folder", intoSystem},
        Case{"the system folder itself", std::wstring(system)}, Case{"unset", std::nullopt}}) {
    SCOPED_TRACE(c.name);
    const ScopedEnvironmentVariable pointed(L"ProgramData", c.variable);
    const std::size_t before = LogText().size();
    const ChildRun run = LogFromChild(L"elsewhere");
    EXPECT_EQ(GetLogFilePath(), LogPath());
    ASSERT_EQ(run.debugStrings.size(), 1u);
    EXPECT_EQ(LogText().substr(before), run.debugStrings[0]);
    EXPECT_FALSE(test::PathExists(std::wstring(system) + L"\\Velmora"));
  }
  EXPECT_TRUE(test::RemoveUnixSymlink(intoSystem));
}

TEST_F(BootstrapLogTest, SharedWriterDoesNotStopAppendingButAnExclusiveLockDoes) {
  LogMessage("one");
  {
    const HANDLE shared = CreateFileW(LogPath().c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(shared, INVALID_HANDLE_VALUE);
    LogMessage("two");
    CloseHandle(shared);
  }
  {
    const HANDLE exclusive =
        CreateFileW(LogPath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(exclusive, INVALID_HANDLE_VALUE);
    LogMessage("three");
    CloseHandle(exclusive);
  }
  LogMessage("four");
  const std::string text = LogText();
  EXPECT_NE(text.find(" one\n"), std::string::npos);
  EXPECT_NE(text.find(" two\n"), std::string::npos);
  EXPECT_EQ(text.find(" three\n"), std::string::npos);
  EXPECT_NE(text.find(" four\n"), std::string::npos);
}

TEST_F(BootstrapLogTest, EveryLineReachesTheDebuggerAndTheFile) {
  const ChildRun run = LogFromChild(L"alpha beta");
  ASSERT_EQ(run.debugStrings.size(), 2u);
  EXPECT_TRUE(std::regex_match(run.debugStrings[0], std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d alpha\n)")))
      << run.debugStrings[0];
  EXPECT_EQ(run.debugStrings[1].substr(19), " beta\n");
  EXPECT_EQ(LogText(), run.debugStrings[0] + run.debugStrings[1]);
}

TEST_F(BootstrapLogTest, WithoutAMachineDataFolderOnlyTheDebuggerGetsTheLine) {
  const std::wstring missing = programData / L"not there";
  const MachineDataAt gone(missing);
  const ChildRun run = LogFromChild(L"nowhere");
  ASSERT_EQ(run.debugStrings.size(), 1u);
  EXPECT_EQ(run.debugStrings[0].substr(19), " nowhere\n");
  EXPECT_FALSE(test::PathExists(missing));
  EXPECT_FALSE(test::PathExists(programData / L"Velmora"));
}

// An ordinary user may plant any part of the log path as a link; the elevated setup must then
// write nowhere but the debugger.
TEST_F(BootstrapLogTest, PlantedFolderLinksAreNeverWrittenThrough) {
  struct Case {
    const wchar_t* linkedPart;
    const wchar_t* precreate;
  };
  for (const Case& c : {Case{L"Velmora", nullptr}, Case{L"Velmora\\Setup", L"Velmora"}}) {
    TempFolder victim;
    TempFolder data;
    const MachineDataAt pointed(data.Path());
    if (c.precreate) CreateDirectoryW((data / c.precreate).c_str(), nullptr);
    ASSERT_TRUE(test::MakeUnixSymlink(victim.Path(), data / c.linkedPart)) << test::Narrow(c.linkedPart);
    if (std::wstring(c.linkedPart) == L"Velmora") CreateDirectoryW((victim / L"Setup").c_str(), nullptr);

    const ChildRun run = LogFromChild(L"planted");
    ASSERT_EQ(run.debugStrings.size(), 1u);
    EXPECT_EQ(run.debugStrings[0].substr(19), " planted\n");
    EXPECT_FALSE(test::PathExists(victim / L"Setup\\bootstrapper.log")) << test::Narrow(c.linkedPart);
    EXPECT_FALSE(test::PathExists(victim / L"bootstrapper.log")) << test::Narrow(c.linkedPart);
    DeleteFileW((data / c.linkedPart).c_str());
    RemoveDirectoryW((data / c.linkedPart).c_str());
  }
}

// Each level is checked before the next is created inside it: a link planted as the first
// folder must not get the second folder made at its target.
TEST_F(BootstrapLogTest, PlantedVelmoraFolderLinkGetsNoSetupFolderAtItsTarget) {
  TempFolder victim;
  const std::wstring link = programData / L"Velmora";
  ASSERT_TRUE(test::MakeUnixSymlink(victim.Path(), link));

  const ChildRun run = LogFromChild(L"planted");
  GetLogFilePath();

  ASSERT_EQ(run.debugStrings.size(), 1u);
  EXPECT_EQ(run.debugStrings[0].substr(19), " planted\n");
  EXPECT_FALSE(test::PathExists(victim / L"Setup"));
  EXPECT_TRUE(RemoveLink(link));
}

// Wine does not report a Unix symbolic link to a file as a reparse point; the path the system
// gives for the opened file shows where it really is. A dangling link must not have its target
// created either.
TEST_F(BootstrapLogTest, PlantedFileLinkAtTheLogIsNeverWrittenThrough) {
  struct Case {
    const char* name;
    bool targetExists;
  };
  for (const Case& c : {Case{"to a file", true}, Case{"to no file", false}}) {
    SCOPED_TRACE(c.name);
    TempFolder victim;
    const std::wstring target = victim / L"precious.txt";
    if (c.targetExists) test::WriteWholeFile(target, "keep me");
    CreateDirectoryW((programData / L"Velmora").c_str(), nullptr);
    CreateDirectoryW((programData / L"Velmora\\Setup").c_str(), nullptr);
    ASSERT_TRUE(RunOnUnixSide("ln -s " + test::ShellQuote(test::UnixPathOf(target)) + " " +
                              test::ShellQuote(test::UnixPathOf(LogPath()))));

    const ChildRun run = LogFromChild(L"attack");

    ASSERT_EQ(run.debugStrings.size(), 1u);
    EXPECT_EQ(run.debugStrings[0].substr(19), " attack\n");
    if (c.targetExists) {
      EXPECT_EQ(test::ReadWholeFile(target), "keep me");
    } else {
      EXPECT_FALSE(test::PathExists(target));
    }
    EXPECT_TRUE(RemoveLink(LogPath()));
  }
}

TEST_F(BootstrapLogTest, PlantedHardLinkedLogFileIsNeverWrittenThrough) {
  TempFolder victim;
  const std::wstring precious = victim / L"precious.txt";
  test::WriteWholeFile(precious, "keep me");
  CreateDirectoryW((programData / L"Velmora").c_str(), nullptr);
  CreateDirectoryW((programData / L"Velmora\\Setup").c_str(), nullptr);
  ASSERT_TRUE(CreateHardLinkW(LogPath().c_str(), precious.c_str(), nullptr));
  LogMessage("attack");
  EXPECT_EQ(test::ReadWholeFile(precious), "keep me");
}

}  // namespace
}  // namespace velmora

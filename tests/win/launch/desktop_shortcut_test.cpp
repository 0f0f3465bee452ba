#include "launch/win/desktop_shortcut.h"

#include <objbase.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/win/scoped_handle.h"
#include "launch_support.h"
#include "msi_support.h"
#include "net_test_support.h"

namespace velmora {
namespace {

using test::SampleInstall;
using test::ShellWindowOwner;
using test::msi::SetupLogCapture;
using Lines = std::vector<std::string>;

constexpr char kExecutableMissing[] = "Desktop shortcut skipped: installed executable is missing.";
constexpr char kNoToken[] =
    "Desktop shortcut skipped: no signed-in user's token (no shell window); it is not written as "
    "administrator.";

std::wstring SystemFolder() {
  wchar_t system[MAX_PATH] = {};
  GetSystemDirectoryW(system, MAX_PATH);
  return system;
}

// Runs a shell command on the Unix side: a link made there is the link itself.
bool RunOnUnixSide(const std::string& script) {
  test::UnixRun run;
  return test::RunUnixScript(script, run) && run.exitStatus == 0;
}

std::wstring MadeFolder(const std::wstring& path) {
  CreateDirectoryW(path.c_str(), nullptr);
  return path;
}

// The shortcut is written into a desktop folder of the test's own inside the user's profile
// (under the temporary folder), which the current user's shell folders name; the sample is the
// installed executable. A desktop shell runs, as on a signed-in desktop, unless a test ends it.
class DesktopShortcutTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    shell.emplace();
    ASSERT_TRUE(shell->Ready());
  }
  void TearDown() override { CoUninitialize(); }

  std::wstring LinkPath() const { return desktop + L"\\Velmora.lnk"; }

  std::vector<std::wstring> DesktopEntries() const {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW entry = {};
    const HANDLE search = FindFirstFileW((desktop + L"\\*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
      const std::wstring name = entry.cFileName;
      if (name != L"." && name != L"..") names.push_back(name);
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    return names;
  }

  // lnkinfo's reading of the link: it points at the installed executable.
  void ExpectLinkTo(const SampleInstall& installed) {
    test::LnkinfoResult link;
    std::string error;
    ASSERT_TRUE(test::ReadWithLnkinfo(LinkPath(), link, error)) << error;
    EXPECT_EQ(link.fields["Local path"], test::Narrow(installed.ExePath())) << link.output;
    EXPECT_EQ(link.fields["Working directory"], test::Narrow(installed.Folder())) << link.output;
    EXPECT_EQ(link.fields["Description"], "Launch Velmora") << link.output;
    EXPECT_EQ(link.fields["Icon location"], test::Narrow(installed.ExePath())) << link.output;
    EXPECT_EQ(link.fields["Icon index"], "0") << link.output;
  }

  SetupLogCapture log;
  SampleInstall install;
  test::TempFolder desktopRoot;
  const std::wstring desktop = MadeFolder(desktopRoot / L"Desktop");
  test::RedirectedDesktop redirect{desktop};
  std::optional<ShellWindowOwner> shell;
};

class DesktopShortcutShellTest : public DesktopShortcutTest, public ::testing::WithParamInterface<bool> {};

// With the desktop shell's token the desktop is looked up and the link saved as that user;
// without one nothing is written: as the account the setup runs under, the link would go
// wherever that account's registry points, through whatever was planted there.
TEST_P(DesktopShortcutShellTest, LinkOnTheDesktopPointsAtTheInstalledExecutableOnlyForTheSignedInUser) {
  if (!GetParam()) {
    shell.reset();
    ASSERT_EQ(GetShellWindow(), nullptr);
  }
  EXPECT_EQ(CreateDesktopShortcut(), GetParam());
  if (GetParam()) {
    EXPECT_EQ(log.Messages(), Lines{"Desktop shortcut created: " + test::Narrow(LinkPath())});
    EXPECT_EQ(DesktopEntries(), std::vector<std::wstring>{L"Velmora.lnk"});
    ExpectLinkTo(install);
  } else {
    EXPECT_EQ(log.Messages(), Lines{kNoToken});
    EXPECT_TRUE(DesktopEntries().empty());
  }
  // The thread is itself again: it has no token of its own.
  HANDLE token = nullptr;
  const BOOL opened = OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token);
  const DWORD error = GetLastError();
  const ScopedHandle owned(token);
  EXPECT_FALSE(opened);
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_NO_TOKEN));
}

INSTANTIATE_TEST_SUITE_P(Token, DesktopShortcutShellTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "ShellUser" : "NoShellWindow";
                         });

TEST_F(DesktopShortcutTest, SecondRunReplacesTheLink) {
  ASSERT_TRUE(CreateDesktopShortcut());
  ExpectLinkTo(install);
  // The next run finds the product in another folder.
  const SampleInstall moved;
  EXPECT_TRUE(CreateDesktopShortcut());
  EXPECT_EQ(DesktopEntries(), std::vector<std::wstring>{L"Velmora.lnk"});
  ExpectLinkTo(moved);
  const std::string created = "Desktop shortcut created: " + test::Narrow(LinkPath());
  EXPECT_EQ(log.Messages(), (Lines{created, created}));
}

TEST_F(DesktopShortcutTest, MissingExecutableSkipsTheLinkThoughTheDesktopExists) {
  ASSERT_TRUE(DeleteFileW(install.ExePath().c_str()));
  struct Case {
    const char* name;
    bool directory;
    bool noFolder;
  };
  for (const Case& c :
       {Case{"no Velmora.exe", false, false}, Case{"directory named Velmora.exe", true, false},
        Case{"no install folder", false, true}}) {
    SCOPED_TRACE(c.name);
    if (c.directory) {
      ASSERT_TRUE(CreateDirectoryW(install.ExePath().c_str(), nullptr));
    }
    std::optional<test::ScopedInstallerKey> emptyRecord;
    std::optional<test::ScopedEnvironmentVariable> noProgramFiles;
    if (c.noFolder) {
      emptyRecord.emplace();
      noProgramFiles.emplace(L"ProgramFiles", std::nullopt);
    }
    EXPECT_FALSE(CreateDesktopShortcut());
    EXPECT_EQ(log.Messages().back(), kExecutableMissing);
    EXPECT_TRUE(DesktopEntries().empty());
  }
  EXPECT_EQ(log.Messages(), (Lines{kExecutableMissing, kExecutableMissing, kExecutableMissing}));
  RemoveDirectoryW(install.ExePath().c_str());
}

TEST_F(DesktopShortcutTest, NoDesktopFolderSkipsTheLink) {
  // The shell reports no desktop when the folder it names does not exist.
  const test::RedirectedDesktop missing(desktopRoot / L"No Such Desktop");
  EXPECT_FALSE(CreateDesktopShortcut());
  EXPECT_EQ(log.Messages(), Lines{"Desktop shortcut skipped: desktop folder could not be found."});
}

TEST_F(DesktopShortcutTest, ThreadWithoutComLogsTheCreationFailureWithItsHresult) {
  bool created = true;
  // A thread of its own that never starts COM, while no apartment of the process is
  // multithreaded, cannot create the shell link object.
  std::thread([&created] { created = CreateDesktopShortcut(); }).join();
  EXPECT_FALSE(created);
  char expected[80] = {};
  std::snprintf(expected, sizeof expected, "Desktop shortcut failed: CoCreateInstance 0x%08lX.",
                static_cast<unsigned long>(CO_E_NOTINITIALIZED));
  EXPECT_EQ(log.Messages(), Lines{expected});
  EXPECT_TRUE(DesktopEntries().empty());
}

TEST_F(DesktopShortcutTest, SaveThatFailsIsLoggedAsFailed) {
  // A folder of the link's name cannot be replaced by the link file.
  ASSERT_TRUE(CreateDirectoryW(LinkPath().c_str(), nullptr));
  EXPECT_FALSE(CreateDesktopShortcut());
  EXPECT_EQ(log.Messages(), Lines{"Desktop shortcut failed: " + test::Narrow(LinkPath())});
  RemoveDirectoryW(LinkPath().c_str());
}

// The user can point the desktop anywhere in the registry, and make it a link: the link goes
// only into a real folder inside the user's own profile.
TEST_F(DesktopShortcutTest, DesktopOutsideTheProfileOrThroughALinkGetsNoLink) {
  const test::TempFolder victim;
  const std::wstring linkedDesktop = desktopRoot / L"Linked Desktop";
  ASSERT_TRUE(test::MakeUnixSymlink(victim.Path(), linkedDesktop));
  struct Case {
    const char* name;
    std::wstring desktop;
    std::wstring linkTarget;
  };
  for (const Case& c : {Case{"the system folder", SystemFolder(), SystemFolder() + L"\\Velmora.lnk"},
                        Case{"a link to another folder", linkedDesktop, victim / L"Velmora.lnk"}}) {
    SCOPED_TRACE(c.name);
    const test::RedirectedDesktop redirected(c.desktop);
    EXPECT_FALSE(CreateDesktopShortcut());
    EXPECT_EQ(log.Messages().back(), "Desktop shortcut skipped: " + test::Narrow(c.desktop) +
                                         " is not a real folder inside the user's profile.");
    EXPECT_FALSE(test::PathExists(c.linkTarget));
  }
  EXPECT_TRUE(test::RemoveUnixSymlink(linkedDesktop));
}

// A Velmora.lnk planted as a symbolic link (which Wine does not report as a reparse point) or as
// a hard link onto another file is refused, never written through.
TEST_F(DesktopShortcutTest, PlantedLinkFilesAreNeverWrittenThrough) {
  const test::TempFolder victim;
  const std::wstring precious = victim / L"precious.txt";
  struct Case {
    const char* name;
    bool hardLink;
  };
  for (const Case& c : {Case{"symbolic link", false}, Case{"hard link", true}}) {
    SCOPED_TRACE(c.name);
    test::WriteWholeFile(precious, "keep me");
    if (c.hardLink) {
      ASSERT_TRUE(CreateHardLinkW(LinkPath().c_str(), precious.c_str(), nullptr));
    } else {
      ASSERT_TRUE(RunOnUnixSide("ln -s " + test::ShellQuote(test::UnixPathOf(precious)) + " " +
                                test::ShellQuote(test::UnixPathOf(LinkPath()))));
    }
    EXPECT_FALSE(CreateDesktopShortcut());
    EXPECT_EQ(log.Messages().back(), "Desktop shortcut failed: " + test::Narrow(LinkPath()));
    EXPECT_EQ(test::ReadWholeFile(precious), "keep me");
    ASSERT_TRUE(RunOnUnixSide("rm " + test::ShellQuote(test::UnixPathOf(LinkPath()))));
  }
}

}  // namespace
}  // namespace velmora

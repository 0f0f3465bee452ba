// The WebView2 download page is opened only as the signed-in user: never by the elevated setup.
#include "launch/win/open_page_as_user.h"

#include <gtest/gtest.h>

#include "launch_support.h"
#include "msi_support.h"

namespace velmora {
namespace {

using Lines = std::vector<std::string>;

constexpr wchar_t kPage[] = L"https://go.microsoft.com/fwlink/p/?LinkId=2124703";
const std::string kNotOpened =
    "The download page https://go.microsoft.com/fwlink/p/?LinkId=2124703 was not opened: it cannot be opened "
    "as the signed-in user, and is never opened as administrator.";

std::wstring SystemFolder() {
  wchar_t folder[MAX_PATH] = {};
  GetSystemDirectoryW(folder, MAX_PATH);
  return folder;
}

// Starts that record what they were asked to start and fail with the given error, so that no
// browser ever starts.
struct RecordedStarts {
  std::vector<std::wstring> asUser;
  std::vector<std::wstring> withToken;

  LaunchCalls Calls(DWORD error) {
    LaunchCalls calls;
    calls.createProcessAsUser = [this, error](HANDLE, LPCWSTR exe, LPWSTR commandLine, LPSECURITY_ATTRIBUTES,
                                              LPSECURITY_ATTRIBUTES, BOOL, DWORD, LPVOID, LPCWSTR folder,
                                              LPSTARTUPINFOW, LPPROCESS_INFORMATION) {
      asUser.push_back(std::wstring(exe) + L"|" + commandLine + L"|" + folder);
      SetLastError(error);
      return FALSE;
    };
    calls.createProcessWithToken = [this, error](HANDLE, DWORD, LPCWSTR exe, LPWSTR commandLine, DWORD,
                                                 LPVOID, LPCWSTR folder, LPSTARTUPINFOW,
                                                 LPPROCESS_INFORMATION) {
      withToken.push_back(std::wstring(exe) + L"|" + commandLine + L"|" + folder);
      SetLastError(error);
      return FALSE;
    };
    return calls;
  }
};

// Wine runs no desktop shell: there is no user's token to open the page with, and nothing else
// is tried.
TEST(OpenPageAsShellUser, WithoutAShellNothingIsStartedAndTheLogSaysWhy) {
  ASSERT_EQ(GetShellWindow(), nullptr);
  test::msi::SetupLogCapture log;
  RecordedStarts starts;
  EXPECT_FALSE(OpenPageAsShellUser(kPage, starts.Calls(ERROR_ACCESS_DENIED)));
  EXPECT_TRUE(starts.asUser.empty());
  EXPECT_TRUE(starts.withToken.empty());
  EXPECT_EQ(log.Messages(), Lines{kNotOpened});
}

// With the shell running, both token starts are tried with the system's address handler; when
// both fail the page stays closed instead of opening in an administrator's browser.
TEST(OpenPageAsShellUser, BothTokenStartsFailingFromAFakeStartLeaveThePageClosed) {
  const test::ShellWindowOwner shell;
  ASSERT_TRUE(shell.Ready());
  test::msi::SetupLogCapture log;
  RecordedStarts starts;
  EXPECT_FALSE(OpenPageAsShellUser(kPage, starts.Calls(ERROR_PRIVILEGE_NOT_HELD)));
  const std::wstring expected = SystemFolder() + L"\\rundll32.exe|\"" + SystemFolder() +
                                L"\\rundll32.exe\" url.dll,FileProtocolHandler " + kPage + L"|" +
                                SystemFolder();
  EXPECT_EQ(starts.asUser, std::vector<std::wstring>{expected});
  EXPECT_EQ(starts.withToken, std::vector<std::wstring>{expected});
  EXPECT_EQ(log.Messages(), (Lines{"CreateProcessAsUserW failed: 1314; trying token API.",
                                   "CreateProcessWithTokenW failed: 1314.", kNotOpened}));
}

}  // namespace
}  // namespace velmora

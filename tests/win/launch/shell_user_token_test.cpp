#include "launch/win/shell_user_token.h"

#include <gtest/gtest.h>

#include <vector>

#include "launch_support.h"

namespace velmora {
namespace {

std::vector<BYTE> TokenUser(HANDLE token) {
  DWORD bytes = 0;
  GetTokenInformation(token, ::TokenUser, nullptr, 0, &bytes);
  std::vector<BYTE> user(bytes);
  if (!GetTokenInformation(token, ::TokenUser, user.data(), bytes, &bytes)) return {};
  return user;
}

bool SameUser(HANDLE first, HANDLE second) {
  const std::vector<BYTE> a = TokenUser(first);
  const std::vector<BYTE> b = TokenUser(second);
  return !a.empty() && !b.empty() &&
         EqualSid(reinterpret_cast<const TOKEN_USER*>(a.data())->User.Sid,
                  reinterpret_cast<const TOKEN_USER*>(b.data())->User.Sid);
}

TEST(GetShellUserToken, NoShellWindowGivesNoToken) {
  // Wine runs no desktop shell of its own.
  ASSERT_EQ(GetShellWindow(), nullptr);
  EXPECT_FALSE(GetShellUserToken().Valid());
}

TEST(GetShellUserToken, GivesAPrimaryTokenOfTheShellWindowsUserWhileTheShellRuns) {
  {
    test::ShellWindowOwner shell;
    ASSERT_TRUE(shell.Ready());
    DWORD owner = 0;
    GetWindowThreadProcessId(GetShellWindow(), &owner);
    ASSERT_EQ(owner, shell.Pid());

    const ScopedHandle token = GetShellUserToken();
    ASSERT_TRUE(token.Valid());
    TOKEN_TYPE type = TokenImpersonation;
    DWORD bytes = 0;
    ASSERT_TRUE(GetTokenInformation(token.Get(), TokenType, &type, sizeof type, &bytes));
    EXPECT_EQ(type, TokenPrimary);

    const ScopedHandle shellProcess(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, shell.Pid()));
    HANDLE rawShellToken = nullptr;
    ASSERT_TRUE(OpenProcessToken(shellProcess.Get(), TOKEN_QUERY, &rawShellToken));
    const ScopedHandle shellToken(rawShellToken);
    EXPECT_TRUE(SameUser(token.Get(), shellToken.Get()));
    // A duplicate, not the shell's own token: usable to start a process as that user.
    EXPECT_NE(token.Get(), shellToken.Get());
  }
  // The shell window went with its process.
  EXPECT_EQ(GetShellWindow(), nullptr);
  EXPECT_FALSE(GetShellUserToken().Valid());
}

TEST(GetShellUserToken, ShellProcessThatCannotBeOpenedGivesNoToken) {
  test::ShellWindowOwner shell(/*refuseAccess=*/true);
  ASSERT_TRUE(shell.Ready());
  ASSERT_NE(GetShellWindow(), nullptr);
  const ScopedHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, shell.Pid()));
  ASSERT_FALSE(process.Valid()) << "the shell's process could be opened after all";
  EXPECT_FALSE(GetShellUserToken().Valid());
}

}  // namespace
}  // namespace velmora

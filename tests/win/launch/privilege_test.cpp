#include "launch/win/privilege.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "base/win/scoped_handle.h"
#include "win_test_support.h"

namespace velmora {
namespace {

ScopedHandle OwnToken() {
  HANDLE token = nullptr;
  OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token);
  return ScopedHandle(token);
}

// The attributes of the privilege in this process's token; nullopt when the token lacks it.
std::optional<DWORD> PrivilegeAttributes(const wchar_t* name) {
  LUID luid = {};
  if (!LookupPrivilegeValueW(nullptr, name, &luid)) return std::nullopt;
  const ScopedHandle token = OwnToken();
  DWORD bytes = 0;
  GetTokenInformation(token.Get(), TokenPrivileges, nullptr, 0, &bytes);
  std::vector<BYTE> buffer(bytes);
  if (!GetTokenInformation(token.Get(), TokenPrivileges, buffer.data(), bytes, &bytes)) return std::nullopt;
  const auto* privileges = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer.data());
  for (DWORD i = 0; i < privileges->PrivilegeCount; ++i) {
    const LUID& held = privileges->Privileges[i].Luid;
    if (held.LowPart == luid.LowPart && held.HighPart == luid.HighPart)
      return privileges->Privileges[i].Attributes;
  }
  return std::nullopt;
}

void Disable(const wchar_t* name) {
  TOKEN_PRIVILEGES privileges = {};
  privileges.PrivilegeCount = 1;
  LookupPrivilegeValueW(nullptr, name, &privileges.Privileges[0].Luid);
  AdjustTokenPrivileges(OwnToken().Get(), FALSE, &privileges, sizeof privileges, nullptr, nullptr);
}

// Each privilege the launch asks for, and names the token cannot hold: whether the token
// holds it is read from the token itself.
TEST(EnablePrivilege, EnablesAHeldPrivilegeAndFailsForOneNotHeldOrUnknown) {
  const wchar_t* const names[] = {L"SeAssignPrimaryTokenPrivilege", L"SeIncreaseQuotaPrivilege",
                                  L"SeImpersonatePrivilege", L"SeNoSuchPrivilege"};
  bool sawHeld = false;
  bool sawNotHeld = false;
  for (const wchar_t* name : names) {
    SCOPED_TRACE(test::Narrow(name));
    const bool held = PrivilegeAttributes(name).has_value();
    sawHeld = sawHeld || held;
    sawNotHeld = sawNotHeld || !held;
    if (held) {
      Disable(name);
      ASSERT_EQ(*PrivilegeAttributes(name) & SE_PRIVILEGE_ENABLED, 0u);
    }
    EXPECT_EQ(EnablePrivilege(name), held);
    if (held) {
      EXPECT_NE(*PrivilegeAttributes(name) & SE_PRIVILEGE_ENABLED, 0u);
    }
  }
  // Both outcomes were shown: Wine's token, like a Windows administrator's, lacks
  // SeAssignPrimaryTokenPrivilege.
  EXPECT_TRUE(sawHeld);
  EXPECT_TRUE(sawNotHeld);
}

}  // namespace
}  // namespace velmora

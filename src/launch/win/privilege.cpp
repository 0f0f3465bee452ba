#include "launch/win/privilege.h"

#include <windows.h>

#include "base/win/scoped_handle.h"

namespace velmora {

bool EnablePrivilege(const wchar_t* name) {
  HANDLE raw = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &raw)) {
    return false;
  }
  ScopedHandle token(raw);
  TOKEN_PRIVILEGES privileges = {};
  if (!LookupPrivilegeValueW(nullptr, name, &privileges.Privileges[0].Luid)) return false;
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  // The call succeeds even when the token lacks the privilege; only the last error tells.
  const BOOL adjusted =
      AdjustTokenPrivileges(token.Get(), FALSE, &privileges, sizeof privileges, nullptr, nullptr);
  const DWORD error = GetLastError();
  token.Close();
  return adjusted && error == ERROR_SUCCESS;
}

}  // namespace velmora

#include "launch/win/shell_user_token.h"

#include <windows.h>

namespace velmora {

ScopedHandle GetShellUserToken() {
  const HWND shell = GetShellWindow();
  if (shell == nullptr) return {};
  DWORD processId = 0;
  GetWindowThreadProcessId(shell, &processId);
  if (processId == 0) return {};
  ScopedHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
  if (!process) return {};
  HANDLE rawToken = nullptr;
  if (!OpenProcessToken(process.Get(), TOKEN_DUPLICATE | TOKEN_QUERY, &rawToken)) return {};
  ScopedHandle shellToken(rawToken);
  HANDLE rawDuplicate = nullptr;
  const BOOL duplicated = DuplicateTokenEx(shellToken.Get(), MAXIMUM_ALLOWED, nullptr, SecurityImpersonation,
                                           TokenPrimary, &rawDuplicate);
  ScopedHandle duplicate(rawDuplicate);
  shellToken.Close();
  process.Close();
  if (!duplicated) return {};
  return duplicate;
}

}  // namespace velmora

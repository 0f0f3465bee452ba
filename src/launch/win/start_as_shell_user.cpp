#include "launch/win/start_as_shell_user.h"

#include "base/bootstrap_log.h"
#include "base/win/scoped_handle.h"
#include "launch/win/privilege.h"

namespace velmora {
namespace {

using ScopedEnvironmentBlock = Scoped<NullEmptyTraits<LPVOID, DestroyUserEnvironmentBlock>>;

}  // namespace

bool StartAsShellUser(const char* subject, const LaunchCalls& calls, HANDLE token, ProcessStart& start) {
  // Starting a process with another user's token needs these; without them that attempt
  // fails and the next one is tried.
  (void)EnablePrivilege(L"SeAssignPrimaryTokenPrivilege");
  (void)EnablePrivilege(L"SeIncreaseQuotaPrivilege");
  (void)EnablePrivilege(L"SeImpersonatePrivilege");

  LPVOID rawBlock = nullptr;
  calls.createEnvironmentBlock(&rawBlock, token, FALSE);
  const ScopedEnvironmentBlock environment(rawBlock);
  const DWORD flags = environment ? CREATE_UNICODE_ENVIRONMENT : 0;
  start.startup.cb = sizeof start.startup;
  if (calls.createProcessAsUser(token, start.exePath.c_str(), start.commandLine.data(), nullptr, nullptr,
                                FALSE, flags, environment.Get(), start.folder.c_str(), &start.startup,
                                &start.process)) {
    LogMessage("%s launched in the signed-in user context.", subject);
    return true;
  }
  LogMessage("CreateProcessAsUserW failed: %lu; trying token API.", GetLastError());
  if (calls.createProcessWithToken(token, LOGON_WITH_PROFILE, start.exePath.c_str(), start.commandLine.data(),
                                   flags, environment.Get(), start.folder.c_str(), &start.startup,
                                   &start.process)) {
    LogMessage("%s launched with the signed-in user token.", subject);
    return true;
  }
  LogMessage("CreateProcessWithTokenW failed: %lu.", GetLastError());
  return false;
}

}  // namespace velmora

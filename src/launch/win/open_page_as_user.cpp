#include "launch/win/open_page_as_user.h"

#include <windows.h>

#include "base/bootstrap_log.h"
#include "base/win/scoped_handle.h"
#include "launch/win/shell_user_token.h"
#include "launch/win/start_as_shell_user.h"

namespace velmora {

std::wstring PageOpenerPath(const std::wstring& systemFolder) { return systemFolder + L"\\rundll32.exe"; }

// url.dll's protocol handler passes the address to whatever browser the user has chosen.
std::wstring PageOpenerCommandLine(const std::wstring& systemFolder, const wchar_t* url) {
  return L"\"" + PageOpenerPath(systemFolder) + L"\" url.dll,FileProtocolHandler " + url;
}

bool OpenPageAsShellUser(const wchar_t* url, const LaunchCalls& calls) {
  wchar_t folder[MAX_PATH] = {};
  const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) {
    LogMessage("The download page %ls was not opened: the system folder is unknown.", url);
    return false;
  }
  ProcessStart start;
  start.folder.assign(folder, length);
  start.exePath = PageOpenerPath(start.folder);
  start.commandLine = PageOpenerCommandLine(start.folder, url);
  const ScopedHandle token = GetShellUserToken();
  if (!token || !StartAsShellUser("The download page", calls, token.Get(), start)) {
    LogMessage(
        "The download page %ls was not opened: it cannot be opened as the signed-in user, and is "
        "never opened as administrator.",
        url);
    return false;
  }
  const ScopedProcessInformation started(start.process);
  return true;
}

}  // namespace velmora

#include "msi/win/stop_running_copies.h"

#include <windows.h>
#include <tlhelp32.h>

#include <string_view>
#include <vector>

#include "base/bootstrap_log.h"
#include "base/win/scoped_handle.h"
#include "msi/application_image_name.h"

namespace velmora {
namespace {

constexpr DWORD kStopAccess = PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE;
constexpr DWORD kEndWaitMilliseconds = 5000;
// One pause after the whole scan, so the system lets go of the stopped copies' files.
constexpr DWORD kSettleMilliseconds = 100;
constexpr DWORD kImagePathUnits = 32768;

// The snapshot's name may be out of date: the process may have ended and its identifier been
// given to another program. The opened handle names the process that would be terminated.
bool HasApplicationImage(HANDLE process) {
  std::vector<wchar_t> path(kImagePathUnits, L'\0');
  DWORD length = kImagePathUnits;
  return QueryFullProcessImageNameW(process, 0, path.data(), &length) &&
         IsApplicationImagePath(std::wstring_view(path.data(), length));
}

}  // namespace

bool StopRunningCopy(DWORD processId) {
  const ScopedHandle process(OpenProcess(kStopAccess, FALSE, processId));
  if (!process || !HasApplicationImage(process.Get())) return false;
  LogMessage("Stopping existing Velmora process %lu.", processId);
  TerminateProcess(process.Get(), 0);
  WaitForSingleObject(process.Get(), kEndWaitMilliseconds);
  return true;
}

void StopRunningCopies() {
  ScopedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return;
  const DWORD self = GetCurrentProcessId();
  bool stoppedAny = false;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more;
       more = Process32NextW(snapshot.Get(), &entry)) {
    if (entry.th32ProcessID == self || !IsApplicationImageName(entry.szExeFile)) continue;
    if (StopRunningCopy(entry.th32ProcessID)) stoppedAny = true;
  }
  snapshot.Close();
  if (stoppedAny) Sleep(kSettleMilliseconds);
}

}  // namespace velmora

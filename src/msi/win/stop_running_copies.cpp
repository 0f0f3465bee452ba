#include "msi/win/stop_running_copies.h"

#include <windows.h>
#include <tlhelp32.h>

#include <string>
#include <string_view>
#include <vector>

#include "base/bootstrap_log.h"
#include "base/win/link_checks.h"
#include "base/win/scoped_handle.h"
#include "msi/application_image_name.h"
#include "product/win/product_record.h"

namespace velmora {
namespace {

constexpr DWORD kStopAccess = PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE;
constexpr DWORD kEndWaitMilliseconds = 5000;
// One pause after the copies are gone, so the system lets go of their files.
constexpr DWORD kSettleMilliseconds = 100;
constexpr DWORD kPathUnits = 32768;

// A path in the system's full form, so that two spellings of one file compare equal.
std::wstring FullPath(std::wstring_view path) {
  std::vector<wchar_t> full(kPathUnits, L'\0');
  const DWORD length = GetFullPathNameW(std::wstring(path).c_str(), kPathUnits, full.data(), nullptr);
  return length == 0 || length >= kPathUnits ? std::wstring() : std::wstring(full.data(), length);
}

// The snapshot's name may be out of date, and a Velmora.exe elsewhere is someone else's
// program: the opened handle names the process that would be stopped.
bool IsInstalledImage(HANDLE process, const std::wstring& installedExe) {
  std::vector<wchar_t> path(kPathUnits, L'\0');
  DWORD length = kPathUnits;
  if (!QueryFullProcessImageNameW(process, 0, path.data(), &length)) return false;
  const std::wstring_view image(path.data(), length);
  return IsApplicationImagePath(image) && SamePath(FullPath(image), installedExe);
}

struct RunningCopy {
  DWORD id = 0;
  ScopedHandle process;
  bool asked = false;  // WM_CLOSE went to at least one of its windows
};

struct CloseRequest {
  DWORD processId;
  bool posted;
};

// Posts WM_CLOSE to each top-level window of the process, hidden ones included, as the
// Restart Manager does for an application that has windows.
BOOL CALLBACK PostCloseToWindowOf(HWND window, LPARAM context) {
  auto* request = reinterpret_cast<CloseRequest*>(context);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == request->processId && PostMessageW(window, WM_CLOSE, 0, 0)) request->posted = true;
  return TRUE;
}

bool AskToClose(DWORD processId) {
  CloseRequest request{processId, false};
  EnumWindows(PostCloseToWindowOf, reinterpret_cast<LPARAM>(&request));
  return request.posted;
}

bool HasEnded(const RunningCopy& copy) { return WaitForSingleObject(copy.process.Get(), 0) == WAIT_OBJECT_0; }

std::vector<RunningCopy> FindInstalledCopies(const std::wstring& installedExe) {
  std::vector<RunningCopy> copies;
  const ScopedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return copies;
  const DWORD self = GetCurrentProcessId();
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more;
       more = Process32NextW(snapshot.Get(), &entry)) {
    if (entry.th32ProcessID == self || !IsApplicationImageName(entry.szExeFile)) continue;
    ScopedHandle process(OpenProcess(kStopAccess, FALSE, entry.th32ProcessID));
    if (!process || !IsInstalledImage(process.Get(), installedExe)) continue;
    copies.push_back({entry.th32ProcessID, std::move(process), false});
  }
  return copies;
}

// Waits until every asked copy has ended or the bound has passed.
void WaitForAskedCopies(const std::vector<RunningCopy>& copies) {
  const ULONGLONG deadline = GetTickCount64() + kPoliteCloseWaitMilliseconds;
  for (const RunningCopy& copy : copies) {
    const ULONGLONG now = GetTickCount64();
    if (!copy.asked || now >= deadline) continue;
    WaitForSingleObject(copy.process.Get(), static_cast<DWORD>(deadline - now));
  }
}

}  // namespace

void StopRunningCopies() {
  const std::wstring installedExe = FullPath(GetRecordedExePath());
  if (installedExe.empty()) return;
  std::vector<RunningCopy> copies = FindInstalledCopies(installedExe);
  if (copies.empty()) return;

  // All are asked first and waited for together, so the bound holds for the whole call.
  for (RunningCopy& copy : copies) copy.asked = AskToClose(copy.id);
  WaitForAskedCopies(copies);

  for (const RunningCopy& copy : copies) {
    if (HasEnded(copy)) {
      if (copy.asked) LogMessage("Velmora process %lu closed when asked.", copy.id);
      continue;
    }
    if (copy.asked) {
      LogMessage("Stopping existing Velmora process %lu: it did not close within %lu seconds of being asked.",
                 copy.id, kPoliteCloseWaitMilliseconds / 1000);
    } else {
      LogMessage("Stopping existing Velmora process %lu: it has no window to ask.", copy.id);
    }
    TerminateProcess(copy.process.Get(), 0);
    WaitForSingleObject(copy.process.Get(), kEndWaitMilliseconds);
  }
  Sleep(kSettleMilliseconds);
}

}  // namespace velmora

#include "workflow/win/run_files.h"

#include <windows.h>
#include <ntsecapi.h>

#include "base/bootstrap_log.h"
#include "base/win/admin_only_folder.h"
#include "base/win/link_checks.h"
#include "base/win/scoped_handle.h"
#include "net/text_encoding.h"

namespace velmora {
namespace {

constexpr wchar_t kRunFolderPrefix[] = L"VelmoraSetup-";
constexpr std::size_t kRandomBytes = 8;

struct LeftoverName {
  const wchar_t* prefix;
  const wchar_t* suffix;
};
// What a run deletes itself when it is not killed first; its msiexec logs are kept.
constexpr LeftoverName kLeftovers[] = {{L"Velmora-Setup-", L".msi"},
                                       {L"VelmoraInstallerManifest-", L".json"}};

// The system's own temporary folder, from the Windows folder rather than the user's
// environment, with its trailing separator; empty when it cannot be had.
std::wstring SystemTempFolder() {
  wchar_t buffer[MAX_PATH] = {};
  const UINT length = GetSystemWindowsDirectoryW(buffer, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  std::wstring folder(buffer, length);
  if (folder.back() != L'\\') folder += L'\\';
  return folder + L"Temp\\";
}

bool RandomHex(std::wstring& text) {
  std::uint8_t bytes[kRandomBytes] = {};
  if (!RtlGenRandom(bytes, sizeof bytes)) return false;
  text = WidenAscii(HexEncodeLower(bytes, sizeof bytes));
  return true;
}

bool IsLeftover(const std::wstring& name) {
  for (const LeftoverName& leftover : kLeftovers) {
    const std::wstring prefix = leftover.prefix;
    const std::wstring suffix = leftover.suffix;
    if (name.size() > prefix.size() + suffix.size() && name.rfind(prefix, 0) == 0 &&
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0) {
      return true;
    }
  }
  return false;
}

// The held folder goes when its handle is closed; the system refuses while anything is in it.
void RemoveOnCloseIfEmpty(HANDLE folder) {
  FILE_DISPOSITION_INFO remove = {TRUE};
  SetFileInformationByHandle(folder, FileDispositionInfo, &remove, sizeof remove);
}

// A running copy holds its folder without delete sharing, so this open with delete access
// fails and that run's files are left alone. Held here, the folder cannot be renamed or
// replaced by a link while its files are removed.
void SweepRunFolder(const std::wstring& path) {
  const ScopedHandle folder =
      OpenFolderWithoutLinks(path, DELETE | FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES);
  if (!folder) return;
  for (const std::wstring& name : FileNamesIn(folder.Get())) {
    const std::wstring file = path + L"\\" + name;
    if (IsLeftover(name) && DeleteUnlinkedFile(file)) {
      LogMessage("Removed %ls left by an earlier run.", file.c_str());
    }
  }
  RemoveOnCloseIfEmpty(folder.Get());
}

}  // namespace

HeldFile CreateRunFolder(std::wstring& folder) {
  const std::wstring temp = SystemTempFolder();
  std::wstring random;
  if (temp.empty() || !RandomHex(random)) return nullptr;
  const std::wstring path = temp + kRunFolderPrefix + std::to_wstring(GetCurrentProcessId()) + L"-" + random;
  HeldFile held = CreateRunFolderAt(path);
  if (held) folder = path + L"\\";
  return held;
}

HeldFile CreateRunFolderAt(const std::wstring& path) {
  // Only a folder made by this call is used: whatever already stands under the name, a folder
  // or a link, was put there by someone else.
  if (!CreateAdminOnlyFolder(path)) return nullptr;
  // Held without delete access: the system's own directory listing (FindFirstFileW under Wine)
  // does not share delete access, and the run must still list its folder.
  ScopedHandle held = OpenFolderWithoutLinks(path, FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES);
  if (!held) return nullptr;
  return HeldFile(held.Release(), [path](void* handle) {
    CloseHandle(handle);
    const ScopedHandle folder = OpenFolderWithoutLinks(path, DELETE | FILE_READ_ATTRIBUTES);
    if (folder) RemoveOnCloseIfEmpty(folder.Get());
  });
}

void SweepEarlierRuns() {
  const std::wstring temp = SystemTempFolder();
  if (temp.empty()) return;
  WIN32_FIND_DATAW entry = {};
  const ScopedFind search(FindFirstFileW((temp + kRunFolderPrefix + L"*").c_str(), &entry));
  if (!search) return;
  do {
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
        (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
      continue;
    }
    SweepRunFolder(temp + entry.cFileName);
  } while (FindNextFileW(search.Get(), &entry));
}

HeldFile LockFile(const std::wstring& path) {
  ScopedHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!file || IsLinkOrUnreadable(path, file.Get()) || !OpenedPathIs(file.Get(), path)) return nullptr;
  return HeldFile(file.Release(), [](void* handle) { CloseHandle(handle); });
}

}  // namespace velmora

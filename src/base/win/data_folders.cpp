#include "base/win/data_folders.h"

#include <utility>

#include "base/win/link_checks.h"
#include "base/win/win_util.h"

namespace velmora {
namespace {

constexpr DWORD kEnvironmentBufferUnits = 32768;

std::wstring ChildPath(const std::wstring& folder, const wchar_t* name) {
  return folder.empty() || folder.back() == L'\\' ? folder + name : folder + L"\\" + name;
}

// An entry is refused when the platform reports a reparse point on its path (as Wine does for
// folder links) or on the opened object (as Windows does for junctions and symbolic links),
// when it is a second name of a file (a hard link onto some other file), when it is not of the
// kind wanted, or when the system places the opened object anywhere but directly inside its
// parent: that last test also catches links that are not reported as reparse points, such as a
// Unix symbolic link to a file under Wine.
bool IsOwnEntry(const std::wstring& path, const OpenedEntry& entry, const OpenedEntry& parent,
                const wchar_t* name, bool folder) {
  BY_HANDLE_FILE_INFORMATION info = {};
  if (IsLinkOrUnreadable(path, entry.handle.Get()) ||
      !GetFileInformationByHandle(entry.handle.Get(), &info) ||
      ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) != folder) {
    return false;
  }
  return SamePath(entry.finalPath, ChildPath(parent.finalPath, name));
}

}  // namespace

std::wstring MachineDataFolder() { return ReadEnvironmentVariable(L"ProgramData", kEnvironmentBufferUnits); }

ScopedHandle OpenWithoutFollowing(const std::wstring& path, bool folder, DWORD access, DWORD disposition) {
  return ScopedHandle(CreateFileW(
      path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, disposition,
      FILE_FLAG_OPEN_REPARSE_POINT | (folder ? FILE_FLAG_BACKUP_SEMANTICS : FILE_ATTRIBUTE_NORMAL), nullptr));
}

OpenedEntry KeepIfOwn(ScopedHandle handle, const OpenedEntry& parent, const std::wstring& path,
                      const wchar_t* name, bool folder) {
  if (!handle) return {};
  OpenedEntry entry;
  entry.finalPath = FinalPathOf(handle.Get());
  entry.handle = std::move(handle);
  if (!IsOwnEntry(path, entry, parent, name, folder)) return {};
  return entry;
}

OpenedEntry OpenOwnFolder(const OpenedEntry& parent, const std::wstring& path, const wchar_t* name,
                          DWORD access) {
  return KeepIfOwn(OpenWithoutFollowing(path, true, access, OPEN_EXISTING), parent, path, name, true);
}

OpenedEntry OpenChosenFolder(const std::wstring& path) {
  OpenedEntry folder;
  folder.handle =
      ScopedHandle(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  BY_HANDLE_FILE_INFORMATION info = {};
  if (!folder.handle || !GetFileInformationByHandle(folder.handle.Get(), &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    return {};
  }
  folder.finalPath = FinalPathOf(folder.handle.Get());
  return folder;
}

SetupDataFolders OpenSetupDataFolders() {
  SetupDataFolders folders;
  const std::wstring root = MachineDataFolder();
  if (root.empty()) return folders;
  const std::wstring velmoraPath = root + L"\\Velmora";
  folders.setupPath = velmoraPath + L"\\Setup";
  folders.data = OpenChosenFolder(root);
  if (!folders.data) return folders;
  CreateDirectoryW(velmoraPath.c_str(), nullptr);
  folders.velmora = OpenOwnFolder(folders.data, velmoraPath, L"Velmora");
  if (!folders.velmora) return folders;
  CreateDirectoryW(folders.setupPath.c_str(), nullptr);
  folders.setup = OpenOwnFolder(folders.velmora, folders.setupPath, L"Setup");
  return folders;
}

}  // namespace velmora

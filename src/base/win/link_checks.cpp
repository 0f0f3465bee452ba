#include "base/win/link_checks.h"

#include <utility>
#include <vector>

namespace velmora {
namespace {

constexpr DWORD kPathBufferUnits = 32768;
constexpr std::size_t kListingBytes = 16384;

std::wstring ChildPath(const std::wstring& folder, const wchar_t* name) {
  return folder.empty() || folder.back() == L'\\' ? folder + name : folder + L"\\" + name;
}

bool IsFolder(HANDLE handle) {
  BY_HANDLE_FILE_INFORMATION info = {};
  return GetFileInformationByHandle(handle, &info) && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Not a link of any kind (a reparse point on the path, as Wine reports folder links, or on the
// opened object, as Windows reports junctions and symbolic links; a second name of a file) and
// of the kind wanted.
bool IsUnlinkedOfKind(const std::wstring& path, HANDLE handle, bool folder) {
  return !IsLinkOrUnreadable(path, handle) && IsFolder(handle) == folder;
}

OpenedEntry Opened(ScopedHandle handle) {
  OpenedEntry entry;
  if (!handle) return entry;
  entry.finalPath = FinalPathOf(handle.Get());
  entry.handle = std::move(handle);
  return entry;
}

}  // namespace

bool IsLinkOrUnreadable(const std::wstring& path, HANDLE handle) {
  const DWORD byPath = GetFileAttributesW(path.c_str());
  BY_HANDLE_FILE_INFORMATION info = {};
  return byPath == INVALID_FILE_ATTRIBUTES || (byPath & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ||
         !GetFileInformationByHandle(handle, &info) ||
         (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ||
         ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && info.nNumberOfLinks > 1);
}

std::wstring FinalPathOf(HANDLE handle) {
  std::vector<wchar_t> buffer(kPathBufferUnits, L'\0');
  const DWORD length = GetFinalPathNameByHandleW(handle, buffer.data(), kPathBufferUnits,
                                                 FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  if (length == 0 || length >= kPathBufferUnits) return {};
  const std::wstring path(buffer.data(), length);
  if (path.rfind(L"\\\\?\\UNC\\", 0) == 0) return L"\\" + path.substr(7);
  if (path.rfind(L"\\\\?\\", 0) == 0) return path.substr(4);
  return path;
}

bool SamePath(const std::wstring& a, const std::wstring& b) {
  return !a.empty() && CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                            static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

bool OpenedPathIs(HANDLE handle, const std::wstring& path) { return SamePath(FinalPathOf(handle), path); }

ScopedHandle OpenFolderWithoutLinks(const std::wstring& path, DWORD access) {
  ScopedHandle folder(CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                  nullptr));
  if (!folder || IsLinkOrUnreadable(path, folder.Get())) return ScopedHandle();
  return folder;
}

std::vector<std::wstring> FileNamesIn(HANDLE folder) {
  std::vector<std::wstring> names;
  alignas(FILE_FULL_DIR_INFO) std::uint8_t buffer[kListingBytes];
  while (GetFileInformationByHandleEx(folder, FileFullDirectoryInfo, buffer, sizeof buffer)) {
    for (std::size_t offset = 0;;) {
      const auto* entry = reinterpret_cast<const FILE_FULL_DIR_INFO*>(buffer + offset);
      if ((entry->FileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0) {
        names.emplace_back(entry->FileName, entry->FileNameLength / sizeof(wchar_t));
      }
      if (entry->NextEntryOffset == 0) break;
      offset += entry->NextEntryOffset;
    }
  }
  return names;
}

bool DeleteUnlinkedFile(const std::wstring& path) {
  const ScopedHandle file(CreateFileW(path.c_str(), DELETE | FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!file || IsLinkOrUnreadable(path, file.Get()) || !OpenedPathIs(file.Get(), path)) return false;
  FILE_DISPOSITION_INFO remove = {TRUE};
  return SetFileInformationByHandle(file.Get(), FileDispositionInfo, &remove, sizeof remove) != FALSE;
}

ScopedHandle OpenWithoutFollowing(const std::wstring& path, bool folder, DWORD access, DWORD disposition) {
  return ScopedHandle(CreateFileW(
      path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, disposition,
      FILE_FLAG_OPEN_REPARSE_POINT | (folder ? FILE_FLAG_BACKUP_SEMANTICS : FILE_ATTRIBUTE_NORMAL), nullptr));
}

// The system placing the opened object anywhere but directly inside its parent also catches
// links that are not reported as reparse points, such as a Unix symbolic link to a file under
// Wine.
OpenedEntry KeepIfOwn(ScopedHandle handle, const OpenedEntry& parent, const std::wstring& path,
                      const wchar_t* name, bool folder) {
  OpenedEntry entry = Opened(std::move(handle));
  if (!entry || !IsUnlinkedOfKind(path, entry.handle.Get(), folder) ||
      !SamePath(entry.finalPath, ChildPath(parent.finalPath, name))) {
    return {};
  }
  return entry;
}

OpenedEntry OpenOwnFolder(const OpenedEntry& parent, const std::wstring& path, const wchar_t* name,
                          DWORD access) {
  return KeepIfOwn(OpenWithoutFollowing(path, true, access, OPEN_EXISTING), parent, path, name, true);
}

OpenedEntry OpenOrCreateOwnFile(const OpenedEntry& parent, const std::wstring& path, const wchar_t* name,
                                DWORD access) {
  ScopedHandle file;
  for (const DWORD disposition : {OPEN_EXISTING, CREATE_NEW, OPEN_EXISTING}) {
    file = OpenWithoutFollowing(path, false, access | FILE_READ_ATTRIBUTES, disposition);
    const DWORD raced = disposition == OPEN_EXISTING ? ERROR_FILE_NOT_FOUND : ERROR_FILE_EXISTS;
    if (file || GetLastError() != raced) break;
  }
  return KeepIfOwn(std::move(file), parent, path, name, false);
}

OpenedEntry OpenChosenFolder(const std::wstring& path) {
  OpenedEntry folder =
      Opened(ScopedHandle(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr)));
  if (!folder || !IsFolder(folder.handle.Get())) return {};
  return folder;
}

OpenedEntry OpenFolderInside(const OpenedEntry& parent, const std::wstring& path) {
  OpenedEntry folder = Opened(OpenWithoutFollowing(path, true, FILE_READ_ATTRIBUTES, OPEN_EXISTING));
  const std::wstring prefix = ChildPath(parent.finalPath, L"");
  if (!parent || !folder || !IsUnlinkedOfKind(path, folder.handle.Get(), true) ||
      folder.finalPath.size() <= prefix.size() ||
      !SamePath(folder.finalPath.substr(0, prefix.size()), prefix)) {
    return {};
  }
  return folder;
}

}  // namespace velmora

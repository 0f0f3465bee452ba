#include "base/win/link_checks.h"

#include <vector>

namespace velmora {
namespace {

constexpr DWORD kPathBufferUnits = 32768;
constexpr std::size_t kListingBytes = 16384;

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

}  // namespace velmora

#include "app/link_checks.h"

#include <vector>

namespace velmora {
namespace {

constexpr wchar_t kLocalPathPrefix[] = L"\\\\?\\";

}  // namespace

bool IsLinkOrUnreadable(const std::wstring& path, HANDLE handle) {
  const DWORD byPath = GetFileAttributesW(path.c_str());
  BY_HANDLE_FILE_INFORMATION info = {};
  return byPath == INVALID_FILE_ATTRIBUTES || (byPath & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ||
         !GetFileInformationByHandle(handle, &info) ||
         (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ||
         ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && info.nNumberOfLinks > 1);
}

bool OpenedPathIs(HANDLE handle, const std::wstring& path) {
  const DWORD needed = GetFinalPathNameByHandleW(handle, nullptr, 0, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  if (needed == 0) return false;
  std::vector<wchar_t> buffer(needed + 1, L'\0');
  const DWORD length =
      GetFinalPathNameByHandleW(handle, buffer.data(), needed + 1, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  if (length == 0 || length > needed) return false;
  std::wstring opened(buffer.data(), length);
  if (opened.rfind(kLocalPathPrefix, 0) == 0) opened.erase(0, wcslen(kLocalPathPrefix));
  return CompareStringOrdinal(opened.c_str(), static_cast<int>(opened.size()), path.c_str(),
                              static_cast<int>(path.size()), TRUE) == CSTR_EQUAL;
}

ScopedHandle OpenFolderWithoutLinks(const std::wstring& path, DWORD access) {
  ScopedHandle folder(CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                  nullptr));
  if (!folder || IsLinkOrUnreadable(path, folder.Get())) return ScopedHandle();
  return folder;
}

}  // namespace velmora

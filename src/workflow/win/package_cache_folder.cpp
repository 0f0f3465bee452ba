#include "workflow/win/package_cache_folder.h"

#include <windows.h>

#include <memory>
#include <utility>

#include "base/bootstrap_log.h"
#include "base/win/admin_only_folder.h"
#include "base/win/data_folders.h"
#include "base/win/link_checks.h"
#include "base/win/scoped_handle.h"
#include "net/win/file_integrity.h"
#include "net/win/https_downloader.h"
#include "workflow/package_cache.h"
#include "workflow/win/run_files.h"

namespace velmora {
namespace {

constexpr wchar_t kCacheFolderName[] = L"Cache";
constexpr wchar_t kKeptNamePrefix[] = L"Velmora-";
constexpr wchar_t kRecordSuffix[] = L".sha256";
constexpr wchar_t kPartialSuffix[] = L".partial";
constexpr DWORD kLargestRecordBytes = 4096;

// The cache folder and every level above it, held while this lives.
struct CacheFolder {
  SetupDataFolders parents;
  OpenedEntry folder;
  std::wstring path;
};

// A kept package is held together with the folder it lies in.
struct HeldCachedPackage {
  CacheFolder cache;
  HeldFile package;
};

std::wstring WithoutSeparator(const std::wstring& folder) {
  return !folder.empty() && folder.back() == L'\\' ? folder.substr(0, folder.size() - 1) : folder;
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The cache folder once it and each level above it have proved to be real folders of their own
// and it carries the run folder's admin-only list; with create, made when missing.
bool OpenCacheFolder(const std::wstring& runFolder, bool create, CacheFolder& cache, std::string& reason) {
  cache.parents = OpenSetupDataFolders();
  if (!cache.parents.setup) {
    reason = "the folder Velmora\\Setup under ProgramData cannot be used";
    return false;
  }
  cache.path = cache.parents.setupPath + L"\\" + kCacheFolderName;
  // One that already exists is checked below exactly as one made now.
  if (create && !CreateAdminOnlyFolder(cache.path) && GetLastError() != ERROR_ALREADY_EXISTS) {
    reason = FormatWithLastError("the cache folder cannot be made");
    return false;
  }
  cache.folder = OpenOwnFolder(cache.parents.setup, cache.path, kCacheFolderName,
                               READ_CONTROL | FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES);
  if (!cache.folder) {
    reason = Exists(cache.path) ? "the cache folder is a link or not a folder" : "there is no package cache";
    return false;
  }
  if (!HasAdminOnlySecurityOf(cache.folder.handle.Get(), WithoutSeparator(runFolder))) {
    reason = "the cache folder is not for administrators only";
    return false;
  }
  return true;
}

bool ReadRecord(const std::wstring& path, std::string& text) {
  const HeldFile record = LockFile(path);
  if (!record) return false;
  char buffer[kLargestRecordBytes] = {};
  DWORD read = 0;
  if (!ReadFile(static_cast<HANDLE>(record.get()), buffer, sizeof buffer, &read, nullptr)) return false;
  text.assign(buffer, read);
  return true;
}

// Writes a new file where no name exists at all, so that nothing is written through a link.
bool WriteNewFile(const std::wstring& path, const std::string& text) {
  const ScopedHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  DWORD written = 0;
  return file && WriteFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
         written == text.size();
}

// Copies the package to a new file and proves the copy is the verified package.
bool CopyChecked(const std::wstring& source, const std::wstring& target, const std::string& sha256,
                 std::string& reason) {
  if (!CopyFileW(source.c_str(), target.c_str(), TRUE)) {
    reason = FormatWithLastError("the package cannot be copied");
    return false;
  }
  std::string actual;
  if (!ComputeFileSha256Hex(target, &actual) || actual != sha256) {
    reason = "the copy does not have the package's digest";
    return false;
  }
  return true;
}

bool Replace(const std::wstring& from, const std::wstring& to, std::string& reason) {
  if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
  reason = FormatWithLastError("the kept files cannot be put in place");
  return false;
}

// Only the installed version's package is kept: every other file of the cache's own names goes.
void RemoveOtherVersions(const CacheFolder& cache, const std::wstring& packageName) {
  const std::wstring prefix = kKeptNamePrefix;
  for (const std::wstring& name : FileNamesIn(cache.folder.handle.Get())) {
    if (name == packageName || name == packageName + kRecordSuffix || name.rfind(prefix, 0) != 0) continue;
    const std::wstring path = cache.path + L"\\" + name;
    if (DeleteUnlinkedFile(path)) LogMessage("Removed %ls from the package cache.", path.c_str());
  }
}

}  // namespace

HeldFile OpenCachedPackage(const std::wstring& runFolder, const std::wstring& version, std::wstring& path,
                           std::string& digestRecord, std::string& reason) {
  const std::wstring name = CachedPackageName(version);
  if (name.empty()) {
    reason = "the version cannot name a kept package";
    return nullptr;
  }
  auto held = std::make_shared<HeldCachedPackage>();
  if (!OpenCacheFolder(runFolder, false, held->cache, reason)) return nullptr;
  const std::wstring packagePath = held->cache.path + L"\\" + name;
  held->package = LockFile(packagePath);
  if (!held->package) {
    reason =
        Exists(packagePath) ? "the kept package is a link or cannot be held" : "no package of it is kept";
    return nullptr;
  }
  if (!ReadRecord(packagePath + kRecordSuffix, digestRecord)) {
    reason = "its digest record is missing or cannot be read";
    return nullptr;
  }
  path = packagePath;
  return held;
}

bool KeepInCache(const std::wstring& runFolder, const std::wstring& packagePath, const std::wstring& version,
                 const std::string& sha256, std::string& reason) {
  const std::wstring name = CachedPackageName(version);
  if (name.empty()) {
    reason = "the version cannot name a kept package";
    return false;
  }
  CacheFolder cache;
  if (!OpenCacheFolder(runFolder, true, cache, reason)) return false;
  const std::wstring package = cache.path + L"\\" + name;
  const std::wstring record = package + kRecordSuffix;
  const std::wstring partialPackage = package + kPartialSuffix;
  const std::wstring partialRecord = record + kPartialSuffix;
  // Left by a run that was killed while it kept its package.
  (void)DeleteUnlinkedFile(partialPackage);
  (void)DeleteUnlinkedFile(partialRecord);
  if (!CopyChecked(packagePath, partialPackage, sha256, reason)) {
    (void)DeleteUnlinkedFile(partialPackage);
    return false;
  }
  if (!WriteNewFile(partialRecord, DigestRecord(sha256, name))) {
    reason = FormatWithLastError("the digest record cannot be written");
    (void)DeleteUnlinkedFile(partialPackage);
    (void)DeleteUnlinkedFile(partialRecord);
    return false;
  }
  // The package first: a run killed between the two leaves a package whose record does not
  // match, which the digest check refuses.
  if (!Replace(partialPackage, package, reason) || !Replace(partialRecord, record, reason)) return false;
  RemoveOtherVersions(cache, name);
  return true;
}

}  // namespace velmora

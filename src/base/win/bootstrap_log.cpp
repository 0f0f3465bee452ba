#include "base/bootstrap_log.h"

#include <windows.h>

#include <cstdarg>
#include <utility>

#include "base/win/link_checks.h"
#include "base/log_line.h"
#include "base/win/scoped_handle.h"
#include "base/win/win_util.h"

namespace velmora {
namespace {

constexpr DWORD kEnvironmentBufferUnits = 32768;

// A file or folder of the log path, opened, with the path the system reports for it.
struct OpenedEntry {
  ScopedHandle handle;
  std::wstring finalPath;
  explicit operator bool() const { return handle.Valid(); }
};

std::wstring ChildPath(const std::wstring& folder, const wchar_t* name) {
  return folder.empty() || folder.back() == L'\\' ? folder + name : folder + L"\\" + name;
}

// The folder that ProgramData names. Whatever it resolves to is the administrator's choice.
OpenedEntry OpenDataFolder(const std::wstring& path) {
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

// The setup runs elevated and ProgramData lets ordinary users create folders, so any entry
// below it may have been planted as a link. An entry is refused when the platform reports a
// reparse point on its path (as Wine does for folder links) or on the opened object (as Windows
// does for junctions and symbolic links), when it is a second name of a file (a hard link onto
// some other file), when it is not of the kind wanted, or when the system places the opened
// object anywhere but directly inside its parent: that last test also catches links that are
// not reported as reparse points, such as a Unix symbolic link to a file under Wine.
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

// Opens a path without following a link at its end. Folders are held without delete sharing,
// so that they cannot be renamed or swapped while the line is written.
ScopedHandle OpenWithoutFollowing(const std::wstring& path, bool folder, DWORD access, DWORD disposition) {
  return ScopedHandle(CreateFileW(
      path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, disposition,
      FILE_FLAG_OPEN_REPARSE_POINT | (folder ? FILE_FLAG_BACKUP_SEMANTICS : FILE_ATTRIBUTE_NORMAL), nullptr));
}

// Keeps the opened entry when it is the parent's own entry of that name and kind; otherwise
// closes it and gives an empty one.
OpenedEntry KeepIfOwn(ScopedHandle handle, const OpenedEntry& parent, const std::wstring& path,
                      const wchar_t* name, bool folder) {
  if (!handle) return {};
  OpenedEntry entry;
  entry.finalPath = FinalPathOf(handle.Get());
  entry.handle = std::move(handle);
  if (!IsOwnEntry(path, entry, parent, name, folder)) return {};
  return entry;
}

OpenedEntry OpenOwnFolder(const OpenedEntry& parent, const std::wstring& path, const wchar_t* name) {
  return KeepIfOwn(OpenWithoutFollowing(path, true, FILE_READ_ATTRIBUTES, OPEN_EXISTING), parent, path, name,
                   true);
}

// The log's two folders, each created only once the one above it has proved to be a real
// folder of its own, and held open while the line is written.
struct LogFolders {
  std::wstring logPath;  // empty when ProgramData gives no path
  OpenedEntry data;
  OpenedEntry velmora;
  OpenedEntry setup;  // empty unless every level is a real folder
};

LogFolders PrepareLogFolders() {
  LogFolders folders;
  const std::wstring programData = ReadEnvironmentVariable(L"ProgramData", kEnvironmentBufferUnits);
  if (programData.empty()) return folders;
  const std::wstring velmoraPath = programData + L"\\Velmora";
  const std::wstring setupPath = velmoraPath + L"\\Setup";
  folders.logPath = setupPath + L"\\bootstrapper.log";
  folders.data = OpenDataFolder(programData);
  if (!folders.data) return folders;
  CreateDirectoryW(velmoraPath.c_str(), nullptr);
  folders.velmora = OpenOwnFolder(folders.data, velmoraPath, L"Velmora");
  if (!folders.velmora) return folders;
  CreateDirectoryW(setupPath.c_str(), nullptr);
  folders.setup = OpenOwnFolder(folders.velmora, setupPath, L"Setup");
  return folders;
}

// Opens an existing log, or makes a new one only where no name exists at all: creating
// through "open always" would follow a dangling link and create its target.
OpenedEntry OpenLogFile(const OpenedEntry& folder, const std::wstring& path, const wchar_t* name) {
  ScopedHandle file;
  for (const DWORD disposition : {OPEN_EXISTING, CREATE_NEW, OPEN_EXISTING}) {
    file = OpenWithoutFollowing(path, false, FILE_APPEND_DATA | FILE_READ_ATTRIBUTES, disposition);
    const DWORD raced = disposition == OPEN_EXISTING ? ERROR_FILE_NOT_FOUND : ERROR_FILE_EXISTS;
    if (file || GetLastError() != raced) break;
  }
  return KeepIfOwn(std::move(file), folder, path, name, false);
}

void AppendToLogFile(const OpenedEntry& folder, const std::wstring& path, const wchar_t* name,
                     const std::string& line) {
  const OpenedEntry file = OpenLogFile(folder, path, name);
  if (!file) return;
  DWORD written = 0;
  WriteFile(file.handle.Get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

// The copy's full path, split where its folder ends; empty until StartLogCopy succeeded.
struct LogCopy {
  std::wstring path;
  std::wstring folder;
  std::wstring name;
};
LogCopy logCopy;

// The copy's folder is the administrator's choice, as ProgramData is; the file in it gets
// the log file's own checks.
bool AppendToLogCopy(const LogCopy& copy, const std::string& line) {
  const OpenedEntry folder = OpenDataFolder(copy.folder);
  if (!folder) return false;
  const OpenedEntry file = OpenLogFile(folder, copy.path, copy.name.c_str());
  if (!file) return false;
  DWORD written = 0;
  return WriteFile(file.handle.Get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr) !=
         FALSE;
}

}  // namespace

std::wstring GetLogFilePath() { return PrepareLogFolders().logPath; }

bool StartLogCopy(const std::wstring& path) {
  const DWORD units = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (units == 0) return false;
  std::wstring full(units, L'\0');
  const DWORD length = GetFullPathNameW(path.c_str(), units, full.data(), nullptr);
  if (length == 0 || length >= units) return false;
  full.resize(length);
  const std::size_t separator = full.find_last_of(L"\\/");
  if (separator == std::wstring::npos || separator + 1 == full.size()) return false;
  LogCopy copy{full, full.substr(0, separator), full.substr(separator + 1)};
  // A drive's root keeps its separator: "C:" alone names the drive's current folder.
  if (!copy.folder.empty() && copy.folder.back() == L':') copy.folder += L'\\';
  if (!AppendToLogCopy(copy, std::string())) return false;
  logCopy = std::move(copy);
  return true;
}

void LogMessage(const char* format, ...) {
  va_list args;
  va_start(args, format);
  const std::string message = FormatLogMessage(format, args);
  va_end(args);

  SYSTEMTIME now = {};
  GetLocalTime(&now);
  const std::string line =
      FormatLogLine(LocalTime{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond}, message);

  OutputDebugStringA(line.c_str());
  const LogFolders folders = PrepareLogFolders();
  if (folders.setup) AppendToLogFile(folders.setup, folders.logPath, L"bootstrapper.log", line);
  if (!logCopy.path.empty()) (void)AppendToLogCopy(logCopy, line);
}

}  // namespace velmora

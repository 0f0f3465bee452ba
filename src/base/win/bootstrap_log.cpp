#include "base/bootstrap_log.h"

#include <windows.h>

#include <cstdarg>

#include "base/log_line.h"
#include "base/win/data_folders.h"
#include "base/win/scoped_handle.h"

namespace velmora {
namespace {

std::wstring LogPathIn(const SetupDataFolders& folders) {
  return folders.setupPath.empty() ? std::wstring() : folders.setupPath + L"\\bootstrapper.log";
}

// Appends to the file `name` in folder when it is that folder's own plain file.
bool AppendToFile(const OpenedEntry& folder, const std::wstring& path, const wchar_t* name,
                  const std::string& line) {
  const OpenedEntry file = OpenOrCreateOwnFile(folder, path, name, FILE_APPEND_DATA);
  if (!file) return false;
  DWORD written = 0;
  return WriteFile(file.handle.Get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr) !=
         FALSE;
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
  const OpenedEntry folder = OpenChosenFolder(copy.folder);
  if (!folder) return false;
  return AppendToFile(folder, copy.path, copy.name.c_str(), line);
}

}  // namespace

std::wstring GetLogFilePath() { return LogPathIn(OpenSetupDataFolders()); }

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
  const SetupDataFolders folders = OpenSetupDataFolders();
  if (folders.setup) (void)AppendToFile(folders.setup, LogPathIn(folders), L"bootstrapper.log", line);
  if (!logCopy.path.empty()) (void)AppendToLogCopy(logCopy, line);
}

}  // namespace velmora

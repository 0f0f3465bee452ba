#include "base/bootstrap_log.h"

#include <windows.h>

#include <cstdarg>
#include <utility>

#include "base/log_line.h"
#include "base/win/data_folders.h"
#include "base/win/scoped_handle.h"

namespace velmora {
namespace {

std::wstring LogPathIn(const SetupDataFolders& folders) {
  return folders.setupPath.empty() ? std::wstring() : folders.setupPath + L"\\bootstrapper.log";
}

// Opens an existing log, or makes a new one only where no name exists at all: creating
// through "open always" would follow a dangling link and create its target.
OpenedEntry OpenLogFile(const SetupDataFolders& folders) {
  const std::wstring logPath = LogPathIn(folders);
  ScopedHandle file;
  for (const DWORD disposition : {OPEN_EXISTING, CREATE_NEW, OPEN_EXISTING}) {
    file = OpenWithoutFollowing(logPath, false, FILE_APPEND_DATA | FILE_READ_ATTRIBUTES, disposition);
    const DWORD raced = disposition == OPEN_EXISTING ? ERROR_FILE_NOT_FOUND : ERROR_FILE_EXISTS;
    if (file || GetLastError() != raced) break;
  }
  return KeepIfOwn(std::move(file), folders.setup, logPath, L"bootstrapper.log", false);
}

void AppendToLogFile(const SetupDataFolders& folders, const std::string& line) {
  const OpenedEntry file = OpenLogFile(folders);
  if (!file) return;
  DWORD written = 0;
  WriteFile(file.handle.Get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

}  // namespace

std::wstring GetLogFilePath() { return LogPathIn(OpenSetupDataFolders()); }

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
  if (folders.setup) AppendToLogFile(folders, line);
}

}  // namespace velmora

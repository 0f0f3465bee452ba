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

void AppendToLogFile(const SetupDataFolders& folders, const std::string& line) {
  const OpenedEntry file =
      OpenOrCreateOwnFile(folders.setup, LogPathIn(folders), L"bootstrapper.log", FILE_APPEND_DATA);
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

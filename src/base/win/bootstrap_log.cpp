#include "base/bootstrap_log.h"

#include <windows.h>

#include <cstdarg>

#include "base/log_line.h"
#include "base/win/known_folder.h"
#include "base/win/link_checks.h"
#include "base/win/scoped_handle.h"

namespace velmora {
namespace {

// The log's two folders, each created only once the one above it has proved to be a real
// folder of its own, and held open while the line is written. The machine-wide data folder is
// the administrator's choice; below it, ordinary users may create folders, so any entry there
// may have been planted as a link by someone the elevated setup must not write for.
struct LogFolders {
  std::wstring logPath;  // empty when the system gives no machine-wide data folder
  OpenedEntry data;
  OpenedEntry velmora;
  OpenedEntry setup;  // empty unless every level is a real folder
};

LogFolders PrepareLogFolders() {
  LogFolders folders;
  const std::wstring programData = MachineDataFolder();
  if (programData.empty()) return folders;
  folders.logPath = programData + L"\\Velmora\\Setup\\bootstrapper.log";
  folders.data = OpenChosenFolder(programData);
  folders.velmora = CreateOwnFolder(folders.data, L"Velmora");
  folders.setup = CreateOwnFolder(folders.velmora, L"Setup");
  return folders;
}

void AppendToLogFile(const LogFolders& folders, const std::string& line) {
  const OpenedEntry file = OpenOrCreateOwnFile(folders.setup, L"bootstrapper.log", FILE_APPEND_DATA);
  if (!file) return;
  DWORD written = 0;
  WriteFile(file.handle.Get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

}  // namespace

std::wstring GetLogFilePath() { return PrepareLogFolders().logPath; }

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
  if (folders.setup) AppendToLogFile(folders, line);
}

}  // namespace velmora

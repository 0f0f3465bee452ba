#include "app/bootstrap_log.h"

#include <windows.h>

#include <cstdarg>
#include <vector>

#include "app/log_line.h"
#include "app/scoped_handle.h"

namespace velmora {
namespace {

constexpr DWORD kEnvironmentBufferUnits = 32768;

std::wstring ProgramDataFolder() {
  std::vector<wchar_t> buffer(kEnvironmentBufferUnits, L'\0');
  const DWORD length = GetEnvironmentVariableW(L"ProgramData", buffer.data(), kEnvironmentBufferUnits);
  if (length == 0 || length >= kEnvironmentBufferUnits) return {};
  return std::wstring(buffer.data(), length);
}

// A link is refused whether the platform reports it on the path (as Wine does for folder
// links) or on the opened object (as Windows does for junctions and symbolic links).
bool IsLinkOrUnreadable(const std::wstring& path, HANDLE handle) {
  const DWORD byPath = GetFileAttributesW(path.c_str());
  BY_HANDLE_FILE_INFORMATION info = {};
  return byPath == INVALID_FILE_ATTRIBUTES || (byPath & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ||
         !GetFileInformationByHandle(handle, &info) ||
         (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ||
         // A second name for the file would be a hard link planted onto some other file.
         ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && info.nNumberOfLinks > 1);
}

// The setup runs elevated and ProgramData lets ordinary users create folders, so any part of
// the log path may have been planted as a link. Nothing is opened through a link, and the
// folders are held open without delete sharing so they cannot be swapped meanwhile.
ScopedHandle OpenOwnFolder(const std::wstring& path) {
  ScopedHandle folder(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                  nullptr));
  if (!folder || IsLinkOrUnreadable(path, folder.Get())) return ScopedHandle();
  return folder;
}

void AppendToLogFile(const std::wstring& path, const std::string& line) {
  const std::wstring setupFolder = path.substr(0, path.find_last_of(L'\\'));
  const std::wstring velmoraFolder = setupFolder.substr(0, setupFolder.find_last_of(L'\\'));
  const ScopedHandle velmora = OpenOwnFolder(velmoraFolder);
  const ScopedHandle setup = velmora ? OpenOwnFolder(setupFolder) : ScopedHandle();
  if (!setup) return;
  const ScopedHandle file(CreateFileW(path.c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!file || IsLinkOrUnreadable(path, file.Get())) return;
  DWORD written = 0;
  WriteFile(file.Get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

}  // namespace

std::wstring GetLogFilePath() {
  const std::wstring programData = ProgramDataFolder();
  if (programData.empty()) return {};
  const std::wstring velmora = programData + L"\\Velmora";
  const std::wstring setup = velmora + L"\\Setup";
  CreateDirectoryW(velmora.c_str(), nullptr);
  CreateDirectoryW(setup.c_str(), nullptr);
  return setup + L"\\bootstrapper.log";
}

void LogMessage(const char* format, ...) {
  va_list args;
  va_start(args, format);
  const std::string message = FormatLogMessage(format, args);
  va_end(args);

  SYSTEMTIME now = {};
  GetLocalTime(&now);
  const std::string line = FormatLogLine(
      LocalTime{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond}, message);

  OutputDebugStringA(line.c_str());
  const std::wstring path = GetLogFilePath();
  if (!path.empty()) AppendToLogFile(path, line);
}

}  // namespace velmora

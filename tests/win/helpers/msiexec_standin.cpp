// Stands in for msiexec.exe where a test needs an exit code or a hang on demand. Each run
// writes run-<n>.txt into %VELMORA_STANDIN_FOLDER% (n counts the runs from 1): its command
// line, its working folder and the process ids of the Velmora.exe processes alive as it
// started. It then acts on the n-th entry of %VELMORA_STANDIN_PLAN%, a comma-separated list
// of exit codes (unsigned decimal) or "hang" (the last entry is kept for later runs): exits
// with that code, or sleeps for a minute at most, until the test ends it.
#include <windows.h>
#include <tlhelp32.h>

#include <cwchar>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

std::wstring Variable(const wchar_t* name) {
  std::vector<wchar_t> buffer(32768, L'\0');
  const DWORD length = GetEnvironmentVariableW(name, buffer.data(), static_cast<DWORD>(buffer.size()));
  return std::wstring(buffer.data(), length < buffer.size() ? length : 0);
}

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                       nullptr, nullptr);
  std::string out(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr,
                      nullptr);
  return out;
}

std::string RunningVelmoraIds() {
  std::string ids;
  const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return "snapshot failed";
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
    if (_wcsicmp(entry.szExeFile, L"Velmora.exe") != 0) continue;
    if (!ids.empty()) ids += ",";
    ids += std::to_string(entry.th32ProcessID);
  }
  CloseHandle(snapshot);
  return ids;
}

std::wstring PlanEntry(const std::wstring& plan, unsigned run) {
  std::vector<std::wstring> entries;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = plan.find(L',', start);
    entries.push_back(plan.substr(start, comma - start));
    if (comma == std::wstring::npos) break;
    start = comma + 1;
  }
  return entries[run - 1 < entries.size() ? run - 1 : entries.size() - 1];
}

}  // namespace

int wmain() {
  const std::wstring folder = Variable(L"VELMORA_STANDIN_FOLDER");
  if (folder.empty()) return 90;
  unsigned run = 1;
  std::wstring record;
  for (;; ++run) {
    record = folder + L"\\run-" + std::to_wstring(run) + L".txt";
    if (GetFileAttributesW(record.c_str()) == INVALID_FILE_ATTRIBUTES) break;
  }
  wchar_t current[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, current);
  {
    std::ofstream out(std::filesystem::path(record), std::ios::binary);
    out << "command_line=" << Utf8(GetCommandLineW()) << "\ncurrent_directory=" << Utf8(current)
        << "\nvelmora_running=" << RunningVelmoraIds() << "\n";
    if (!out) return 91;
  }
  const std::wstring action = PlanEntry(Variable(L"VELMORA_STANDIN_PLAN"), run);
  if (action == L"hang") {
    Sleep(60000);
    return 92;
  }
  wchar_t* end = nullptr;
  const unsigned long code = std::wcstoul(action.c_str(), &end, 10);
  if (action.empty() || *end != L'\0') return 93;
  return static_cast<int>(code);
}

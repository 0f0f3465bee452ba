#include "win_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace velmora::test {
namespace {

constexpr wchar_t kInstallerKey[] = L"Software\\Velmora\\Installer";
constexpr wchar_t kUserShellFoldersKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
constexpr wchar_t kShellFoldersKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

std::optional<std::wstring> ReadVariable(const wchar_t* name) {
  std::vector<wchar_t> buffer(32768, L'\0');
  const DWORD length = GetEnvironmentVariableW(name, buffer.data(), static_cast<DWORD>(buffer.size()));
  if (length == 0 && GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
  return std::wstring(buffer.data(), length);
}

}  // namespace

ScopedEnvironmentVariable::ScopedEnvironmentVariable(const wchar_t* name, std::optional<std::wstring> value)
    : name_(name), previous_(ReadVariable(name)) {
  SetEnvironmentVariableW(name, value ? value->c_str() : nullptr);
}

ScopedEnvironmentVariable::~ScopedEnvironmentVariable() {
  SetEnvironmentVariableW(name_.c_str(), previous_ ? previous_->c_str() : nullptr);
}

TempFolder::TempFolder() {
  static std::atomic<unsigned> counter{0};
  wchar_t base[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH + 1, base);
  // Process ids come round again between test processes: take the first name not yet used.
  do {
    path_ = std::wstring(base) + L"velmora-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(counter++);
  } while (!CreateDirectoryW(path_.c_str(), nullptr) && GetLastError() == ERROR_ALREADY_EXISTS);
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

RedirectedShellFolder::RedirectedShellFolder(HKEY root, const wchar_t* name, const std::wstring& folder)
    : root_(root), name_(name) {
  for (const wchar_t* keyPath : {kUserShellFoldersKey, kShellFoldersKey}) {
    SavedValue value{keyPath};
    HKEY key = nullptr;
    if (RegOpenKeyExW(root_, keyPath, 0, KEY_QUERY_VALUE, &key) == ERROR_SUCCESS) {
      const ScopedRegistryKey owned(key);
      DWORD bytes = 0;
      if (RegQueryValueExW(key, name, nullptr, &value.type, nullptr, &bytes) == ERROR_SUCCESS) {
        value.data.resize(bytes);
        value.present =
            RegQueryValueExW(key, name, nullptr, &value.type, value.data.data(), &bytes) == ERROR_SUCCESS;
      }
    }
    saved_.push_back(std::move(value));
  }
  HKEY key = nullptr;
  if (RegCreateKeyExW(root_, kUserShellFoldersKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
      ERROR_SUCCESS) {
    ADD_FAILURE() << "User Shell Folders could not be opened";
    return;
  }
  const ScopedRegistryKey owned(key);
  EXPECT_EQ(RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                           static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t))),
            ERROR_SUCCESS);
}

RedirectedShellFolder::~RedirectedShellFolder() {
  for (const SavedValue& value : saved_) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root_, value.key, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) continue;
    const ScopedRegistryKey owned(key);
    if (value.present) {
      RegSetValueExW(key, name_.c_str(), 0, value.type, value.data.data(),
                     static_cast<DWORD>(value.data.size()));
    } else {
      RegDeleteValueW(key, name_.c_str());
    }
  }
}

ScopedInstallerKey::ScopedInstallerKey() {
  DeleteInstallerKey();
  HKEY key = nullptr;
  EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kInstallerKey, 0, nullptr, 0,
                            KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(key);
}

ScopedInstallerKey::~ScopedInstallerKey() { DeleteInstallerKey(); }

void ScopedInstallerKey::SetString(const wchar_t* name, const std::wstring& value, DWORD type) {
  SetRaw(name, type, value.c_str(), static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

void ScopedInstallerKey::SetRaw(const wchar_t* name, DWORD type, const void* data, DWORD bytes) {
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kInstallerKey, 0, KEY_SET_VALUE | KEY_WOW64_64KEY, &key),
            ERROR_SUCCESS);
  EXPECT_EQ(RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), bytes), ERROR_SUCCESS);
  RegCloseKey(key);
}

void DeleteInstallerKey() { RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kInstallerKey, KEY_WOW64_64KEY, 0); }

std::string ReadWholeFile(const std::wstring& path) {
  std::ifstream file(std::filesystem::path(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void WriteWholeFile(const std::wstring& path, const std::string& bytes) {
  std::ofstream(std::filesystem::path(path), std::ios::binary | std::ios::trunc) << bytes;
}

bool PathExists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring Widen(const std::string& text) { return std::wstring(text.begin(), text.end()); }

std::string Narrow(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) out.push_back(static_cast<char>(c));
  return out;
}

}  // namespace velmora::test

namespace velmora::test {

std::wstring TestBinaryFolder() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path);
  return folder.substr(0, folder.find_last_of(L'\\'));
}

std::wstring SystemTempFolderPath() {
  wchar_t windows[MAX_PATH] = {};
  GetSystemWindowsDirectoryW(windows, MAX_PATH);
  return std::wstring(windows) + L"\\Temp";
}

namespace {

std::vector<std::wstring> FoldersMatching(const std::wstring& pattern) {
  std::vector<std::wstring> paths;
  WIN32_FIND_DATAW found = {};
  const HANDLE search = FindFirstFileW((SystemTempFolderPath() + L"\\" + pattern).c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return paths;
  do {
    paths.push_back(SystemTempFolderPath() + L"\\" + found.cFileName);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return paths;
}

}  // namespace

NewRunFolders::NewRunFolders() : before_(FoldersMatching(L"VelmoraSetup-*")) {}

NewRunFolders::~NewRunFolders() {
  for (const std::wstring& path : Paths()) {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
}

std::vector<std::wstring> NewRunFolders::Paths() const {
  std::vector<std::wstring> added;
  for (const std::wstring& path : FoldersMatching(L"VelmoraSetup-*")) {
    if (std::find(before_.begin(), before_.end(), path) == before_.end()) added.push_back(path);
  }
  return added;
}

std::vector<std::wstring> NewRunFolders::FileNames() const {
  std::vector<std::wstring> names;
  for (const std::wstring& path : Paths()) {
    for (const auto& entry : std::filesystem::directory_iterator(path)) {
      names.push_back(entry.path().filename().wstring());
    }
  }
  return names;
}

std::string UnixPathOf(const std::wstring& windowsPath) {
  using UnixName = char* (*)(const wchar_t*);
  const auto toUnix = reinterpret_cast<UnixName>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  char* name = toUnix != nullptr ? toUnix(windowsPath.c_str()) : nullptr;
  const std::string path = name != nullptr ? name : "";
  HeapFree(GetProcessHeap(), 0, name);  // Wine hands back heap strings that the caller frees
  return path;
}

std::wstring DosPathOf(const std::string& unixPath) {
  using DosName = wchar_t* (*)(const char*);
  const auto toDos = reinterpret_cast<DosName>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_dos_file_name")));
  wchar_t* name = toDos != nullptr ? toDos(unixPath.c_str()) : nullptr;
  const std::wstring path = name != nullptr ? name : L"";
  HeapFree(GetProcessHeap(), 0, name);
  return path;
}

std::wstring DriveZPathOf(const std::string& unixPath) {
  std::wstring path = L"Z:" + Widen(unixPath);
  for (wchar_t& c : path) {
    if (c == L'/') c = L'\\';
  }
  return path;
}

namespace {

bool LinkListed(const std::wstring& link) {
  WIN32_FIND_DATAW found = {};
  const HANDLE search = FindFirstFileW(link.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  return true;
}

// Runs a Unix program from /bin and waits until the link is listed (or not): Wine does not
// track a Unix child to its end.
bool RunUnixTool(const wchar_t* tool, const std::wstring& arguments, const std::wstring& link, bool listed) {
  ScopedProcessInformation child;
  const std::wstring program = std::wstring(L"Z:\\bin\\") + tool;
  if (!StartChild({program, std::wstring(tool) + L" " + arguments}, child)) return false;
  WaitForSingleObject(child.Process(), 10000);
  child.Close();
  for (int i = 0; i < 100; ++i) {
    if (LinkListed(link) == listed) return true;
    Sleep(50);
  }
  return false;
}

}  // namespace

bool MakeUnixSymlink(const std::wstring& target, const std::wstring& link) {
  const std::string unixTarget = UnixPathOf(target);
  const std::string unixLink = UnixPathOf(link);
  if (unixTarget.empty() || unixLink.empty()) return false;
  return RunUnixTool(L"ln", L"-s \"" + Widen(unixTarget) + L"\" \"" + Widen(unixLink) + L"\"", link, true);
}

bool RemoveUnixSymlink(const std::wstring& link) {
  const std::string unixLink = UnixPathOf(link);
  if (unixLink.empty()) return false;
  return RunUnixTool(L"rm", L"-f \"" + Widen(unixLink) + L"\"", link, false);
}

bool StartChild(const ChildStart& start, ScopedProcessInformation& child) {
  SECURITY_DESCRIPTOR descriptor = {};
  ACL emptyList = {};
  InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
  InitializeAcl(&emptyList, sizeof emptyList, ACL_REVISION);
  SetSecurityDescriptorDacl(&descriptor, TRUE, &emptyList, FALSE);
  SECURITY_ATTRIBUTES noAccess = {sizeof noAccess, &descriptor, FALSE};
  std::wstring commandLine = start.commandLine;
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(start.program.empty() ? nullptr : start.program.c_str(), commandLine.data(),
                      start.refuseAccess ? &noAccess : nullptr, nullptr, FALSE, start.flags, nullptr,
                      start.folder.empty() ? nullptr : start.folder.c_str(), &startup, &info)) {
    return false;
  }
  child = ScopedProcessInformation(info);
  return true;
}

bool RunCollectingDebugOutput(const std::wstring& commandLine, ChildRun& run) {
  ScopedProcessInformation child;
  if (!StartChild({L"", commandLine, L"", DEBUG_ONLY_THIS_PROCESS}, child)) return false;
  bool running = true;
  while (running) {
    DEBUG_EVENT event = {};
    if (!WaitForDebugEvent(&event, 30000)) break;
    switch (event.dwDebugEventCode) {
      case CREATE_PROCESS_DEBUG_EVENT:
        if (event.u.CreateProcessInfo.hFile) CloseHandle(event.u.CreateProcessInfo.hFile);
        break;
      case LOAD_DLL_DEBUG_EVENT:
        if (event.u.LoadDll.hFile) CloseHandle(event.u.LoadDll.hFile);
        break;
      case OUTPUT_DEBUG_STRING_EVENT: {
        const OUTPUT_DEBUG_STRING_INFO& info = event.u.DebugString;
        std::string text(info.nDebugStringLength, '\0');
        SIZE_T read = 0;
        ReadProcessMemory(child.Process(), info.lpDebugStringData, text.data(), text.size(), &read);
        text.resize(read);
        while (!text.empty() && text.back() == '\0') text.pop_back();
        run.debugStrings.push_back(text);
        break;
      }
      case EXIT_PROCESS_DEBUG_EVENT:
        run.exitCode = event.u.ExitProcess.dwExitCode;
        running = false;
        break;
      default:
        break;
    }
    ContinueDebugEvent(event.dwProcessId, event.dwThreadId, DBG_CONTINUE);
  }
  return !running;
}

}  // namespace velmora::test

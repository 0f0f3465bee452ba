#include "webview/win/webview2_detection.h"

#include <string_view>

#include "base/win/scoped_handle.h"
#include "base/win/win_util.h"

namespace velmora {
namespace {

constexpr const wchar_t* kRootVariables[] = {L"ProgramFiles(x86)", L"ProgramFiles", L"LOCALAPPDATA"};
constexpr wchar_t kApplicationFolder[] = L"\\Microsoft\\EdgeWebView\\Application";
constexpr wchar_t kMarkerFile[] = L"\\msedgewebview2.exe";
constexpr wchar_t kUninstallKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr wchar_t kUninstallKey32[] = L"SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr DWORD kVariableUnits = 260;
constexpr DWORD kSubkeyNameUnits = 256;
constexpr DWORD kDisplayNameBytes = 512;

bool SubkeyDisplayNameHasWebView2(HKEY key, const wchar_t* subkeyName) {
  HKEY rawSubkey = nullptr;
  if (RegOpenKeyExW(key, subkeyName, 0, KEY_READ, &rawSubkey) != ERROR_SUCCESS) return false;
  const ScopedRegistryKey subkey(rawSubkey);
  wchar_t name[kDisplayNameBytes / sizeof(wchar_t)] = {};
  DWORD type = 0;
  DWORD bytes = kDisplayNameBytes;
  if (RegQueryValueExW(subkey.Get(), L"DisplayName", nullptr, &type, reinterpret_cast<BYTE*>(name), &bytes) !=
          ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ)) {
    return false;
  }
  // Only the units read count; the value need not end with a terminator.
  const std::wstring_view read(name, bytes / sizeof(wchar_t));
  return read.find(L"WebView2") != std::wstring_view::npos;
}

}  // namespace

bool IsWebView2RuntimeInstalled(const WebView2DetectionCalls& calls) {
  for (const wchar_t* variable : kRootVariables) {
    const std::wstring root = ReadEnvironmentVariable(variable, kVariableUnits);
    if (!root.empty() && calls.folderHasExe(root + kApplicationFolder)) return true;
  }
  return calls.uninstallKeyLists(HKEY_LOCAL_MACHINE, kUninstallKey) ||
         calls.uninstallKeyLists(HKEY_LOCAL_MACHINE, kUninstallKey32) ||
         calls.uninstallKeyLists(HKEY_CURRENT_USER, kUninstallKey);
}

bool FolderHasWebView2Exe(const std::wstring& folder) {
  if (IsFile(folder + kMarkerFile)) return true;
  WIN32_FIND_DATAW entry = {};
  const ScopedFind search(FindFirstFileW((folder + L"\\*").c_str(), &entry));
  if (!search) return false;
  do {
    const std::wstring_view name(entry.cFileName);
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 && name != L"." && name != L".." &&
        IsFile(folder + L"\\" + entry.cFileName + kMarkerFile)) {
      return true;
    }
  } while (FindNextFileW(search.Get(), &entry));
  return false;
}

bool UninstallKeyListsWebView2(HKEY root, const wchar_t* keyPath) {
  HKEY rawKey = nullptr;
  if (RegOpenKeyExW(root, keyPath, 0, KEY_READ, &rawKey) != ERROR_SUCCESS) return false;
  const ScopedRegistryKey key(rawKey);
  for (DWORD index = 0;; ++index) {
    wchar_t name[kSubkeyNameUnits] = {};
    DWORD nameUnits = kSubkeyNameUnits;
    FILETIME written = {};
    // Any failure ends the scan: no more subkeys, or a name too long for the buffer.
    if (RegEnumKeyExW(key.Get(), index, name, &nameUnits, nullptr, nullptr, nullptr, &written) !=
        ERROR_SUCCESS) {
      return false;
    }
    if (SubkeyDisplayNameHasWebView2(key.Get(), name)) return true;
  }
}

}  // namespace velmora

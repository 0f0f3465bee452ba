#include "product/win/product_record.h"

#include <windows.h>

#include <vector>

#include "base/win/scoped_handle.h"
#include "base/win/win_util.h"

namespace velmora {
namespace {

constexpr DWORD kValueBufferBytes = 65536;
constexpr DWORD kProgramFilesUnits = 260;

std::wstring DefaultInstallFolder() {
  const std::wstring programFiles = ReadEnvironmentVariable(L"ProgramFiles", kProgramFilesUnits);
  if (programFiles.empty()) return {};
  return programFiles + L"\\Velmora";
}

// The folder the record names, without trailing separators (a drive root keeps its own).
std::wstring RecordedInstallFolder() {
  std::wstring folder;
  if (!ReadInstallerValue(L"InstallFolder", &folder)) return {};
  while (folder.size() > 3 && (folder.back() == L'\\' || folder.back() == L'/')) folder.pop_back();
  return folder;
}

std::wstring UntrimmedInstallFolder() {
  std::wstring folder;
  if (ReadInstallerValue(L"InstallFolder", &folder) && !folder.empty()) return folder;
  return DefaultInstallFolder();
}

}  // namespace

bool ReadInstallerValue(const wchar_t* name, std::wstring* value) {
  if (value == nullptr) return false;
  HKEY raw = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Velmora\\Installer", 0, KEY_READ | KEY_WOW64_64KEY,
                    &raw) != ERROR_SUCCESS) {
    return false;
  }
  ScopedRegistryKey key(raw);
  std::vector<wchar_t> buffer(kValueBufferBytes / sizeof(wchar_t), L'\0');
  DWORD type = 0;
  DWORD bytes = kValueBufferBytes;
  const LONG result =
      RegQueryValueExW(key.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &bytes);
  key.Close();
  if (result != ERROR_SUCCESS || bytes <= 2 || (type != REG_SZ && type != REG_EXPAND_SZ)) {
    return false;
  }
  const std::size_t units = bytes / sizeof(wchar_t);
  std::size_t length = 0;
  while (length < units && buffer[length] != L'\0') ++length;
  value->assign(buffer.data(), length);
  return true;
}

std::wstring GetInstallFolder() {
  const std::wstring recorded = RecordedInstallFolder();
  return recorded.empty() ? DefaultInstallFolder() : recorded;
}

std::wstring GetInstalledExePath() {
  const std::wstring folder = GetInstallFolder();
  return folder.empty() ? std::wstring() : folder + L"\\Velmora.exe";
}

std::wstring GetRecordedExePath() {
  const std::wstring folder = RecordedInstallFolder();
  return folder.empty() ? std::wstring() : folder + L"\\Velmora.exe";
}

bool InstalledExeMatchesSize(std::uint64_t expectedSize) {
  if (expectedSize == 0) return true;
  const std::wstring folder = UntrimmedInstallFolder();
  if (folder.empty()) return false;
  const std::wstring exe = folder + L"\\Velmora.exe";
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  if (!GetFileAttributesExW(exe.c_str(), GetFileExInfoStandard, &data)) return false;
  const std::uint64_t size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  return size == expectedSize;
}

}  // namespace velmora

#include "system_msiexec_stand_in.h"

#include <windows.h>

#include "win_test_support.h"

namespace velmora::test {
namespace {

constexpr wchar_t kOverrides[] = L"Software\\Wine\\DllOverrides";

std::wstring SystemMsiexec() {
  wchar_t system[MAX_PATH] = {};
  GetSystemDirectoryW(system, MAX_PATH);
  return std::wstring(system) + L"\\msiexec.exe";
}

std::wstring SavedOriginal() { return SystemMsiexec() + L".velmora-test-original"; }

bool SetWineLoadOrder(const wchar_t* order) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kOverrides, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
      ERROR_SUCCESS) {
    return false;
  }
  const LSTATUS status =
      order == nullptr ? RegDeleteValueW(key, L"msiexec.exe")
                       : RegSetValueExW(key, L"msiexec.exe", 0, REG_SZ, reinterpret_cast<const BYTE*>(order),
                                        static_cast<DWORD>((wcslen(order) + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
  return status == ERROR_SUCCESS || (order == nullptr && status == ERROR_FILE_NOT_FOUND);
}

}  // namespace

bool SystemMsiexecStandIn::RestoreOriginal() {
  const bool orderRestored = SetWineLoadOrder(nullptr);
  if (!PathExists(SavedOriginal())) return orderRestored;
  return MoveFileExW(SavedOriginal().c_str(), SystemMsiexec().c_str(), MOVEFILE_REPLACE_EXISTING) &&
         orderRestored;
}

SystemMsiexecStandIn::SystemMsiexecStandIn(const std::wstring& plan) : standIn_(plan) {
  if (!RestoreOriginal()) return;
  planted_ = MoveFileW(SystemMsiexec().c_str(), SavedOriginal().c_str()) &&
             CopyFileW(standIn_.Program().c_str(), SystemMsiexec().c_str(), TRUE) &&
             SetWineLoadOrder(L"native");
}

// Moving the original back replaces the stand-in.
SystemMsiexecStandIn::~SystemMsiexecStandIn() { RestoreOriginal(); }

}  // namespace velmora::test

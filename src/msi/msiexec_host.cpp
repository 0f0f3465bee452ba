#include "msi/msiexec_host.h"

namespace velmora {

void ShowSetupError(const std::wstring& text) {
  MessageBoxW(nullptr, text.c_str(), L"Velmora Setup", MB_ICONERROR);
}

bool GetSystemFolder(const MsiexecHost& host, std::wstring& folder) {
  wchar_t buffer[kFolderBufferUnits] = {};
  const UINT length = host.getSystemDirectory(buffer, kFolderBufferUnits);
  if (!IsUsableSystemFolderLength(length)) return false;
  folder.assign(buffer, length);
  return true;
}

std::wstring GetTemporaryFolder() {
  wchar_t buffer[kFolderBufferUnits] = {};
  const DWORD length = GetTempPathW(kFolderBufferUnits, buffer);
  // A failure, or a folder too long for the buffer, leaves the log name without a folder.
  if (length == 0 || length >= kFolderBufferUnits) return {};
  return std::wstring(buffer, length);
}

}  // namespace velmora

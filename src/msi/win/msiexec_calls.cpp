#include "msi/win/msiexec_calls.h"

#include "base/win/win_util.h"

namespace velmora {

bool GetSystemFolder(const MsiexecCalls& calls, std::wstring& folder) {
  wchar_t buffer[kFolderBufferUnits] = {};
  const UINT length = calls.getSystemDirectory(buffer, kFolderBufferUnits);
  if (!IsUsableSystemFolderLength(length)) return false;
  folder.assign(buffer, length);
  return true;
}

}  // namespace velmora

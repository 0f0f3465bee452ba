#include "base/win/win_util.h"

#include <vector>

namespace velmora {

std::wstring ReadEnvironmentVariable(const wchar_t* name, DWORD bufferUnits) {
  std::vector<wchar_t> buffer(bufferUnits, L'\0');
  const DWORD length = GetEnvironmentVariableW(name, buffer.data(), bufferUnits);
  if (length == 0 || length >= bufferUnits) return {};
  return std::wstring(buffer.data(), length);
}

bool IsFile(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

}  // namespace velmora

#include "app/win/command_line_reader.h"

#include <windows.h>
#include <shellapi.h>

#include <vector>

#include "base/win/scoped_handle.h"

namespace velmora {

bool ReadSetupCommandLine(const wchar_t* commandLine, SetupOptions& options, std::wstring* error) {
  int count = 0;
  LPWSTR* const split = CommandLineToArgvW(commandLine, &count);
  const ScopedLocalMemory owned(split);
  if (split == nullptr) {
    if (error != nullptr) {
      *error = L"the command line could not be split (code " + std::to_wstring(GetLastError()) + L")";
    }
    return false;
  }
  std::vector<std::wstring> arguments;
  for (int i = 1; i < count; ++i) arguments.emplace_back(split[i]);
  return ParseSetupArguments(arguments, options, error);
}

}  // namespace velmora

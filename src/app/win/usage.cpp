#include "app/win/usage.h"

#include <windows.h>

#include "app/command_line.h"
#include "base/win/scoped_handle.h"
#include "base/win/win_util.h"

namespace velmora {

void ShowUsage() {
  const std::wstring text = UsageText();
  // A GUI program has no console of its own; the one of the prompt that started it, if any.
  if (AttachConsole(ATTACH_PARENT_PROCESS)) {
    const ScopedHandle console(CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_WRITE,
                                           nullptr, OPEN_EXISTING, 0, nullptr));
    const std::wstring lines = L"\r\n" + text + L"\r\n";
    DWORD written = 0;
    const bool shown = console && WriteConsoleW(console.Get(), lines.c_str(),
                                                static_cast<DWORD>(lines.size()), &written, nullptr);
    FreeConsole();
    if (shown) return;
  }
  MessageBoxW(nullptr, text.c_str(), kSetupCaption, MB_ICONINFORMATION);
}

}  // namespace velmora

#include <windows.h>

#include "base/setup_state.h"

namespace velmora {

// The portable setup state mirrors these so that it never includes <windows.h>.
static_assert(kWmApp == WM_APP, "kWmApp must be the platform's WM_APP");
static_assert(sizeof(WindowHandle) == sizeof(HWND), "WindowHandle must hold an HWND");

void PostSetupMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam) {
  PostMessageW(static_cast<HWND>(window), message, static_cast<WPARAM>(wParam), 0);
}

}  // namespace velmora

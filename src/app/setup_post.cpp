#include <windows.h>

#include "app/setup_state.h"

namespace velmora {

void PostSetupMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam) {
  PostMessageW(static_cast<HWND>(window), message, static_cast<WPARAM>(wParam), 0);
}

}  // namespace velmora

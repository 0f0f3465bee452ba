// The window's WM_PAINT: the whole client area is drawn into a memory bitmap and copied with
// one BitBlt, so progress repaints never flicker.
#pragma once

#include <windows.h>

namespace velmora {

void PaintSetupWindow(HWND window);

}  // namespace velmora

// The window's WM_PAINT: the whole client area is drawn into a memory bitmap and copied with
// one BitBlt, so progress repaints never flicker.
#pragma once

#include <windows.h>

#include "ui/palette.h"

namespace velmora {

void PaintSetupWindow(HWND window, const ScreenColors& colors);

}  // namespace velmora

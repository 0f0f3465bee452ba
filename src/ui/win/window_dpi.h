// The setup window's DPI and the sizes that follow from it. GetDpiForWindow and
// AdjustWindowRectExForDpi came with Windows 10 1607, so both are looked up at run time; before
// them a dpiAware process draws at the system DPI, and the window's outer size is scaled whole.
#pragma once

#include <windows.h>

namespace velmora {

// The window's DPI; the screen's (the system DPI) where the system cannot say per window.
unsigned WindowDpi(HWND window);

// Pixels per logical unit for the window: its DPI / 96.
float WindowScale(HWND window);

// The outer size at the window's DPI of a window whose outer size at 96 DPI is width x height:
// the client area that size leaves at 96 DPI, scaled, with the frame the window has at its DPI.
// width x height itself at 96 DPI.
SIZE OuterSizeForDpi(HWND window, int width, int height);

}  // namespace velmora

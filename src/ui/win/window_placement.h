// Sizing the setup window and centring it in a monitor's work area.
#pragma once

#include <windows.h>

namespace velmora {

// Outer size width x height, centred in the work area of the monitor under the mouse pointer
// (useCursorMonitor) or of the monitor nearest the window. Without monitor information the
// window keeps its place and size. A minimised window stays minimised and gets that place
// and size for when it is restored.
void PlaceWindowOnMonitor(HWND window, int width, int height, bool useCursorMonitor);

}  // namespace velmora

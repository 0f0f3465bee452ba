#include "ui/win/window_placement.h"

namespace velmora {
namespace {

// A minimised window is moved and sized for when it is restored; otherwise the user would
// restore it at its old size. Restored positions are in workspace coordinates, which start at
// the primary monitor's work area.
void PlaceRestoredWindow(HWND window, const RECT& screen) {
  WINDOWPLACEMENT placement = {};
  placement.length = sizeof placement;
  RECT primaryWork = {};
  if (!GetWindowPlacement(window, &placement) ||
      !SystemParametersInfoW(SPI_GETWORKAREA, 0, &primaryWork, 0)) {
    return;
  }
  placement.rcNormalPosition = screen;
  OffsetRect(&placement.rcNormalPosition, -primaryWork.left, -primaryWork.top);
  SetWindowPlacement(window, &placement);
}

}  // namespace

void PlaceWindowOnMonitor(HWND window, int width, int height, bool useCursorMonitor) {
  if (window == nullptr) return;
  HMONITOR monitor = nullptr;
  POINT cursor = {};
  if (useCursorMonitor && GetCursorPos(&cursor)) {
    monitor = MonitorFromPoint(cursor, MONITOR_DEFAULTTONEAREST);
  }
  if (monitor == nullptr) monitor = MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST);
  MONITORINFO info = {};
  info.cbSize = sizeof info;
  if (!GetMonitorInfoW(monitor, &info)) return;
  const RECT& work = info.rcWork;
  // Integer division truncates toward zero: a window larger than the work area starts left of
  // or above its origin.
  const int x = work.left + (work.right - work.left - width) / 2;
  const int y = work.top + (work.bottom - work.top - height) / 2;
  if (IsIconic(window)) {
    PlaceRestoredWindow(window, RECT{x, y, x + width, y + height});
    return;
  }
  SetWindowPos(window, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace velmora

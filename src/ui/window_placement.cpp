#include "ui/window_placement.h"

namespace velmora {

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
  SetWindowPos(window, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace velmora

#include "ui/win/window_dpi.h"

#include "base/win/system_library.h"
#include "ui/screen_layout.h"

namespace velmora {
namespace {

struct DpiCalls {
  UINT(WINAPI* getDpiForWindow)(HWND) = nullptr;
  BOOL(WINAPI* adjustWindowRectExForDpi)(LPRECT, DWORD, BOOL, DWORD, UINT) = nullptr;
};

// user32 is in every process that has a window; only the two entry points are looked up.
const DpiCalls& Calls() {
  static const DpiCalls calls = [] {
    DpiCalls found;
    const HMODULE user32 = GetModuleHandleW(L"user32.dll");
    if (user32 != nullptr) {
      ResolveEntryPoint(user32, "GetDpiForWindow", found.getDpiForWindow);
      ResolveEntryPoint(user32, "AdjustWindowRectExForDpi", found.adjustWindowRectExForDpi);
    }
    return found;
  }();
  return calls;
}

unsigned ScreenDpi() {
  const HDC screen = GetDC(nullptr);
  const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
  if (screen != nullptr) ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<unsigned>(dpi) : kBaseDpi;
}

}  // namespace

unsigned WindowDpi(HWND window) {
  const DpiCalls& calls = Calls();
  const UINT dpi = calls.getDpiForWindow != nullptr ? calls.getDpiForWindow(window) : 0;
  return dpi != 0 ? dpi : ScreenDpi();
}

float WindowScale(HWND window) { return ScaleForDpi(WindowDpi(window)); }

SIZE OuterSizeForDpi(HWND window, int width, int height) {
  const unsigned dpi = WindowDpi(window);
  if (dpi == kBaseDpi) return {width, height};
  const float scale = ScaleForDpi(dpi);
  const auto adjust = Calls().adjustWindowRectExForDpi;
  if (adjust == nullptr) return {ScaleLength(width, scale), ScaleLength(height, scale)};
  const auto style = static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE));
  const auto exStyle = static_cast<DWORD>(GetWindowLongW(window, GWL_EXSTYLE));
  RECT frame = {};
  adjust(&frame, style, FALSE, exStyle, kBaseDpi);
  RECT outer = {0, 0, ScaleLength(width - (frame.right - frame.left), scale),
                ScaleLength(height - (frame.bottom - frame.top), scale)};
  adjust(&outer, style, FALSE, exStyle, dpi);
  return {outer.right - outer.left, outer.bottom - outer.top};
}

}  // namespace velmora

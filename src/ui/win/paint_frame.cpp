#include "ui/win/paint_frame.h"

#include "ui/win/finish_screen.h"
#include "ui/win/gdi_objects.h"
#include "ui/win/gdiplus_objects.h"
#include "ui/palette.h"
#include "ui/win/progress_screen.h"
#include "ui/setup_window_state.h"

namespace velmora {

void PaintSetupWindow(HWND window) {
  const ScopedPaint paint = BeginScopedPaint(window);
  RECT client = {};
  GetClientRect(window, &client);
  const int width = client.right - client.left;
  const int height = client.bottom - client.top;
  if (width <= 0 || height <= 0) return;

  const ScopedMemoryDc memory(CreateCompatibleDC(paint.Get()));
  const ScopedBitmap bitmap(CreateCompatibleBitmap(paint.Get(), width, height));
  // A failed DC or bitmap leaves this paint undone; the next invalidation tries again.
  if (memory.Get() == nullptr || bitmap.Get() == nullptr) return;
  const ScopedSelection selection = SelectScoped(memory.Get(), bitmap.Get());

  Gdiplus::GpGraphics* rawGraphics = nullptr;
  if (gdip::GdipCreateFromHDC(memory.Get(), &rawGraphics) != Gdiplus::Ok) return;
  {
    const ScopedGraphics graphics(rawGraphics);
    gdip::GdipSetSmoothingMode(graphics.get(), Gdiplus::SmoothingModeAntiAlias);
    gdip::GdipSetTextRenderingHint(graphics.get(), Gdiplus::TextRenderingHintClearTypeGridFit);
    gdip::GdipGraphicsClear(graphics.get(), WhiteColor);
    if (WindowState.finishScreenShown) {
      DrawFinishScreen(graphics.get(), static_cast<float>(width), static_cast<float>(height));
    } else {
      DrawProgressScreen(graphics.get(), static_cast<float>(width), static_cast<float>(height));
    }
  }
  BitBlt(paint.Get(), 0, 0, width, height, memory.Get(), 0, 0, SRCCOPY);
}

}  // namespace velmora

#include "ui/win/paint_frame.h"

#include "ui/win/finish_screen.h"
#include "ui/win/gdi_objects.h"
#include "ui/win/gdiplus_objects.h"
#include "ui/palette.h"
#include "ui/win/progress_screen.h"
#include "ui/setup_window_state.h"
#include "ui/win/window_dpi.h"

namespace velmora {

void PaintSetupWindow(HWND window, const ScreenColors& colors) {
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
    gdip::GdipGraphicsClear(graphics.get(), colors.background);
    // The screens draw in logical units; one transform scales every rectangle, font, line and
    // radius to the window's DPI. At 96 DPI there is none, and the pixels are exactly those of
    // an unscaled drawing.
    const float scale = WindowScale(window);
    if (scale != 1.0f)
      gdip::GdipScaleWorldTransform(graphics.get(), scale, scale, Gdiplus::MatrixOrderPrepend);
    const float logicalWidth = static_cast<float>(width) / scale;
    const float logicalHeight = static_cast<float>(height) / scale;
    if (WindowState.finishScreenShown) {
      DrawFinishScreen(graphics.get(), logicalWidth, logicalHeight, colors);
    } else {
      DrawProgressScreen(graphics.get(), logicalWidth, logicalHeight, colors);
    }
  }
  BitBlt(paint.Get(), 0, 0, width, height, memory.Get(), 0, 0, SRCCOPY);
}

}  // namespace velmora

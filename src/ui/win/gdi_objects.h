// Owners for the GDI handles of one paint: the paint itself, the memory DC, its bitmap and
// the selection of that bitmap. Declared in this order, they are released in the reverse one:
// the old bitmap is selected back before the bitmap is deleted, the DC goes next, EndPaint last.
#pragma once

#include <windows.h>

#include "base/win/scoped_handle.h"

namespace velmora {

// The paint's DC; EndPaint needs the window and the record BeginPaint filled, so the traits
// carry both.
struct PaintTraits {
  using Value = HDC;
  HWND window = nullptr;
  PAINTSTRUCT paint = {};
  static bool Valid(HDC dc) { return dc != nullptr; }
  void Close(HDC) const { EndPaint(window, &paint); }
};

// The object a selection replaced, selected back into the DC the traits name.
struct SelectionTraits {
  using Value = HGDIOBJ;
  HDC dc = nullptr;
  static bool Valid(HGDIOBJ previous) { return previous != nullptr && previous != HGDI_ERROR; }
  void Close(HGDIOBJ previous) const { SelectObject(dc, previous); }
};

using ScopedPaint = Scoped<PaintTraits>;
using ScopedMemoryDc = Scoped<NullEmptyTraits<HDC, DeleteDC>>;
using ScopedBitmap = Scoped<NullEmptyTraits<HBITMAP, DeleteObject>>;
using ScopedSelection = Scoped<SelectionTraits>;

inline ScopedPaint BeginScopedPaint(HWND window) {
  PaintTraits traits;
  traits.window = window;
  const HDC dc = BeginPaint(window, &traits.paint);
  return ScopedPaint(dc, traits);
}

inline ScopedSelection SelectScoped(HDC dc, HGDIOBJ object) {
  return ScopedSelection(SelectObject(dc, object), SelectionTraits{dc});
}

}  // namespace velmora

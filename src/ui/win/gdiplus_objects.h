// Owners for the GDI+ flat-API objects the screens create; each paint makes its own and
// deletes them before it returns, so nothing is cached between paints. They stay unique_ptr
// rather than Scoped: each is a typed pointer whose one delete call is the whole deleter.
#pragma once

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <memory>

namespace velmora {

namespace gdip = Gdiplus::DllExports;

template <typename T, Gdiplus::GpStatus (*Delete)(T*)>
struct GdipDeleter {
  void operator()(T* object) const { Delete(object); }
};

template <typename T, Gdiplus::GpStatus (*Delete)(T*)>
using GdipObject = std::unique_ptr<T, GdipDeleter<T, Delete>>;

using ScopedFontFamily = GdipObject<Gdiplus::GpFontFamily, gdip::GdipDeleteFontFamily>;
using ScopedFont = GdipObject<Gdiplus::GpFont, gdip::GdipDeleteFont>;
using ScopedBrush = GdipObject<Gdiplus::GpBrush, gdip::GdipDeleteBrush>;
using ScopedStringFormat = GdipObject<Gdiplus::GpStringFormat, gdip::GdipDeleteStringFormat>;
using ScopedPath = GdipObject<Gdiplus::GpPath, gdip::GdipDeletePath>;
using ScopedPen = GdipObject<Gdiplus::GpPen, gdip::GdipDeletePen>;
using ScopedGraphics = GdipObject<Gdiplus::GpGraphics, gdip::GdipDeleteGraphics>;

// A solid brush in one colour; empty when GDI+ could not make it.
inline ScopedBrush MakeSolidBrush(Gdiplus::ARGB argb) {
  Gdiplus::GpSolidFill* fill = nullptr;
  if (gdip::GdipCreateSolidFill(argb, &fill) != Gdiplus::Ok) return ScopedBrush();
  return ScopedBrush(fill);
}

}  // namespace velmora

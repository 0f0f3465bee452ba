// Owners for the GDI handles of one paint: the paint itself, the memory DC, its bitmap and
// the selection of that bitmap. Declared in this order, they are released in the reverse one:
// the old bitmap is selected back before the bitmap is deleted, the DC goes next, EndPaint last.
#pragma once

#include <windows.h>

namespace velmora {

class ScopedPaint {
 public:
  explicit ScopedPaint(HWND window) : window_(window), dc_(BeginPaint(window, &paint_)) {}
  ~ScopedPaint() { EndPaint(window_, &paint_); }
  ScopedPaint(const ScopedPaint&) = delete;
  ScopedPaint& operator=(const ScopedPaint&) = delete;
  HDC Dc() const { return dc_; }

 private:
  HWND window_;
  PAINTSTRUCT paint_ = {};
  HDC dc_;
};

class ScopedMemoryDc {
 public:
  explicit ScopedMemoryDc(HDC compatibleWith) : dc_(CreateCompatibleDC(compatibleWith)) {}
  ~ScopedMemoryDc() {
    if (dc_ != nullptr) DeleteDC(dc_);
  }
  ScopedMemoryDc(const ScopedMemoryDc&) = delete;
  ScopedMemoryDc& operator=(const ScopedMemoryDc&) = delete;
  HDC Get() const { return dc_; }

 private:
  HDC dc_;
};

class ScopedBitmap {
 public:
  explicit ScopedBitmap(HBITMAP bitmap) : bitmap_(bitmap) {}
  ~ScopedBitmap() {
    if (bitmap_ != nullptr) DeleteObject(bitmap_);
  }
  ScopedBitmap(const ScopedBitmap&) = delete;
  ScopedBitmap& operator=(const ScopedBitmap&) = delete;
  HBITMAP Get() const { return bitmap_; }

 private:
  HBITMAP bitmap_;
};

class ScopedSelection {
 public:
  ScopedSelection(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
  ~ScopedSelection() { SelectObject(dc_, previous_); }
  ScopedSelection(const ScopedSelection&) = delete;
  ScopedSelection& operator=(const ScopedSelection&) = delete;

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

}  // namespace velmora

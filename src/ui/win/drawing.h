// The drawing routines both screens share: text in a rectangle and rounded rectangles, on a
// GDI+ graphics that the paint frame has already cleared to white. A failed GDI+ call leaves
// its element undrawn; nothing is reported.
#pragma once

#include <cstdint>

#include "ui/finish_screen_targets.h"
#include "ui/win/gdiplus_objects.h"

namespace velmora {

inline constexpr wchar_t kScreenFontFace[] = L"Segoe UI";

// The family the screens' texts are drawn in: the preferred face where the system has it,
// otherwise the face of the system's message font (SPI_GETNONCLIENTMETRICS), so that a system
// without "Segoe UI" still shows every text. Empty when neither can be had.
ScopedFontFamily CreateScreenFontFamily(const wchar_t* preferred = kScreenFontFace);

// One line in the screen font, cut with an ellipsis at a character when it does not fit.
void DrawTextLine(Gdiplus::GpGraphics* graphics, const wchar_t* text, const TargetRect& rect, float sizePx,
                  std::uint32_t argb, Gdiplus::FontStyle style, Gdiplus::StringAlignment alignment,
                  Gdiplus::StringAlignment lineAlignment);

// Where DrawTextLine with the same arguments puts the text: the box its words take, or the
// layout rectangle itself when the text cannot be measured.
TargetRect MeasureTextLine(Gdiplus::GpGraphics* graphics, const wchar_t* text, const TargetRect& rect,
                           float sizePx, Gdiplus::FontStyle style, Gdiplus::StringAlignment alignment,
                           Gdiplus::StringAlignment lineAlignment);

// A dotted one-pixel rectangle: the keyboard focus cue, drawn in the system's manner.
void DrawFocusCue(Gdiplus::GpGraphics* graphics, const TargetRect& rect, std::uint32_t argb);

// Text wrapped at words and line feeds from the top left, ending with an ellipsis after the
// last whole word that fits the height.
void DrawTextBlock(Gdiplus::GpGraphics* graphics, const wchar_t* text, const TargetRect& rect, float sizePx,
                   std::uint32_t argb, Gdiplus::FontStyle style);

// Appends one closed figure; a radius of half the shorter side or more gives round ends.
void AddRoundedRectangle(Gdiplus::GpPath* path, const TargetRect& rect, float radius);

void FillRoundedRectangle(Gdiplus::GpGraphics* graphics, const TargetRect& rect, float radius,
                          std::uint32_t argb);

}  // namespace velmora

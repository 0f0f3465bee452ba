#include "ui/win/drawing.h"

#include <algorithm>

namespace velmora {
namespace {

using namespace Gdiplus;

struct TextFormat {
  StringAlignment alignment;
  StringAlignment lineAlignment;
  INT flags;  // 0 leaves the format's own flags: wrapping at words and line feeds
  StringTrimming trimming;
};

// The font and string format of one text, made for one use and deleted after it; nothing when
// either cannot be made.
template <typename Use>
void WithFontAndFormat(float sizePx, FontStyle style, const TextFormat& format, Use use) {
  const ScopedFontFamily family = CreateScreenFontFamily();
  if (!family) return;
  GpFont* rawFont = nullptr;
  if (gdip::GdipCreateFont(family.get(), sizePx, style, UnitPixel, &rawFont) != Ok) return;
  const ScopedFont font(rawFont);
  GpStringFormat* rawFormat = nullptr;
  if (gdip::GdipCreateStringFormat(0, LANG_NEUTRAL, &rawFormat) != Ok) return;
  const ScopedStringFormat stringFormat(rawFormat);
  gdip::GdipSetStringFormatAlign(stringFormat.get(), format.alignment);
  gdip::GdipSetStringFormatLineAlign(stringFormat.get(), format.lineAlignment);
  if (format.flags != 0) gdip::GdipSetStringFormatFlags(stringFormat.get(), format.flags);
  gdip::GdipSetStringFormatTrimming(stringFormat.get(), format.trimming);
  use(font.get(), stringFormat.get());
}

void DrawFormattedText(GpGraphics* graphics, const wchar_t* text, const TargetRect& rect, float sizePx,
                       std::uint32_t argb, FontStyle style, const TextFormat& format) {
  const ScopedBrush brush = MakeSolidBrush(argb);
  if (!brush) return;
  WithFontAndFormat(sizePx, style, format, [&](GpFont* font, GpStringFormat* stringFormat) {
    const RectF layout(rect.x, rect.y, rect.width, rect.height);
    gdip::GdipDrawString(graphics, text, -1, font, &layout, stringFormat, brush.get());
  });
}

TextFormat LineFormat(StringAlignment alignment, StringAlignment lineAlignment) {
  return {alignment, lineAlignment, StringFormatFlagsNoWrap, StringTrimmingEllipsisCharacter};
}

ScopedFontFamily FamilyNamed(const wchar_t* name) {
  GpFontFamily* family = nullptr;
  if (name == nullptr || name[0] == L'\0' ||
      gdip::GdipCreateFontFamilyFromName(name, nullptr, &family) != Ok) {
    return ScopedFontFamily();
  }
  return ScopedFontFamily(family);
}

}  // namespace

ScopedFontFamily CreateScreenFontFamily(const wchar_t* preferred) {
  ScopedFontFamily family = FamilyNamed(preferred);
  if (family) return family;
  NONCLIENTMETRICSW metrics = {};
  metrics.cbSize = sizeof metrics;
  if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) return family;
  return FamilyNamed(metrics.lfMessageFont.lfFaceName);
}

void DrawTextLine(GpGraphics* graphics, const wchar_t* text, const TargetRect& rect, float sizePx,
                  std::uint32_t argb, FontStyle style, StringAlignment alignment,
                  StringAlignment lineAlignment) {
  DrawFormattedText(graphics, text, rect, sizePx, argb, style, LineFormat(alignment, lineAlignment));
}

TargetRect MeasureTextLine(GpGraphics* graphics, const wchar_t* text, const TargetRect& rect, float sizePx,
                           FontStyle style, StringAlignment alignment, StringAlignment lineAlignment) {
  TargetRect measured = rect;
  WithFontAndFormat(sizePx, style, LineFormat(alignment, lineAlignment),
                    [&](GpFont* font, GpStringFormat* stringFormat) {
                      const RectF layout(rect.x, rect.y, rect.width, rect.height);
                      RectF box;
                      if (gdip::GdipMeasureString(graphics, text, -1, font, &layout, stringFormat, &box,
                                                  nullptr, nullptr) == Ok) {
                        measured = {box.X, box.Y, box.Width, box.Height};
                      }
                    });
  return measured;
}

void DrawFocusCue(GpGraphics* graphics, const TargetRect& rect, std::uint32_t argb) {
  GpPen* rawPen = nullptr;
  if (gdip::GdipCreatePen1(argb, 1.0f, UnitWorld, &rawPen) != Ok) return;
  const ScopedPen pen(rawPen);
  gdip::GdipSetPenDashStyle(pen.get(), DashStyleDot);
  gdip::GdipDrawRectangle(graphics, pen.get(), rect.x, rect.y, rect.width, rect.height);
}

void DrawTextBlock(GpGraphics* graphics, const wchar_t* text, const TargetRect& rect, float sizePx,
                   std::uint32_t argb, FontStyle style) {
  DrawFormattedText(graphics, text, rect, sizePx, argb, style,
                    {StringAlignmentNear, StringAlignmentNear, 0, StringTrimmingEllipsisWord});
}

void AddRoundedRectangle(GpPath* path, const TargetRect& rect, float radius) {
  float r = std::min(radius, std::min(rect.width, rect.height) * 0.5f);
  if (r < 0.0f) r = 0.0f;
  const float d = 2.0f * r;
  const float right = rect.x + rect.width - d;
  const float bottom = rect.y + rect.height - d;
  gdip::GdipAddPathArc(path, rect.x, rect.y, d, d, 180.0f, 90.0f);
  gdip::GdipAddPathArc(path, right, rect.y, d, d, 270.0f, 90.0f);
  gdip::GdipAddPathArc(path, right, bottom, d, d, 0.0f, 90.0f);
  gdip::GdipAddPathArc(path, rect.x, bottom, d, d, 90.0f, 90.0f);
  gdip::GdipClosePathFigure(path);
}

void FillRoundedRectangle(GpGraphics* graphics, const TargetRect& rect, float radius, std::uint32_t argb) {
  GpPath* rawPath = nullptr;
  if (gdip::GdipCreatePath(FillModeAlternate, &rawPath) != Ok) return;
  const ScopedPath path(rawPath);
  AddRoundedRectangle(path.get(), rect, radius);
  const ScopedBrush brush = MakeSolidBrush(argb);
  if (brush) gdip::GdipFillPath(graphics, brush.get(), path.get());
}

}  // namespace velmora

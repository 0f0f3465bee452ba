#include "ui/win/finish_screen.h"

#include <cmath>

#include "base/setup_state.h"
#include "ui/win/drawing.h"
#include "ui/palette.h"
#include "ui/screen_texts.h"
#include "ui/setup_window_state.h"

namespace velmora {
namespace {

using namespace Gdiplus;

ScopedPen MakePen(std::uint32_t argb, float width) {
  GpPen* pen = nullptr;
  if (gdip::GdipCreatePen1(argb, width, UnitWorld, &pen) != Ok) return ScopedPen();
  return ScopedPen(pen);
}

void DrawTick(GpGraphics* graphics, const TargetRect& box) {
  const ScopedPen pen = MakePen(WhiteColor, 2.2f);
  if (!pen) return;
  gdip::GdipSetPenStartCap(pen.get(), LineCapRound);
  gdip::GdipSetPenEndCap(pen.get(), LineCapRound);
  gdip::GdipDrawLine(graphics, pen.get(), box.x + 4.5f, box.y + 10.5f, box.x + 8.5f, box.y + 14.5f);
  gdip::GdipDrawLine(graphics, pen.get(), box.x + 8.5f, box.y + 14.5f, box.x + 16.0f, box.y + 6.0f);
}

// A one-pixel line is crisp when it runs along pixel centres.
float PixelCentre(float coordinate) { return std::floor(coordinate) + 0.5f; }

TargetRect OnPixelCentres(const TargetRect& rect) {
  const float x = PixelCentre(rect.x);
  const float y = PixelCentre(rect.y);
  return {x, y, PixelCentre(rect.x + rect.width) - x, PixelCentre(rect.y + rect.height) - y};
}

// Around the label's words for an option, inside the face for the button, as the system's
// check boxes and push buttons show their focus.
void DrawFinishFocusCue(GpGraphics* graphics, FinishTarget focus, const TargetRect& button) {
  if (focus == FinishTarget::FinishButton) {
    DrawFocusCue(
        graphics,
        OnPixelCentres({button.x + 4.0f, button.y + 4.0f, button.width - 8.0f, button.height - 8.0f}),
        WhiteColor);
    return;
  }
  const bool launch = focus == FinishTarget::LaunchOption;
  if (!launch && focus != FinishTarget::ShortcutOption) return;
  const TargetRect label =
      FinishTargetRect(launch ? FinishTargetPart::LaunchLabel : FinishTargetPart::ShortcutLabel);
  const TargetRect words =
      MeasureTextLine(graphics, launch ? kLaunchOptionLabel : kShortcutOptionLabel, label, 14.0f,
                      FontStyleRegular, StringAlignmentNear, StringAlignmentCenter);
  DrawFocusCue(graphics,
               OnPixelCentres({words.x - 2.0f, words.y - 1.0f, words.width + 3.0f, words.height + 1.0f}),
               InkColor);
}

}  // namespace

void DrawOptionRow(GpGraphics* graphics, const TargetRect& box, const TargetRect& label, const wchar_t* text,
                   bool selected, bool hovered) {
  GpPath* rawPath = nullptr;
  if (gdip::GdipCreatePath(FillModeAlternate, &rawPath) == Ok) {
    const ScopedPath path(rawPath);
    AddRoundedRectangle(path.get(), box, 5.0f);
    const ScopedBrush fill = MakeSolidBrush(selected ? AccentColor : WhiteColor);
    if (fill) gdip::GdipFillPath(graphics, fill.get(), path.get());
    const ScopedPen border = MakePen(selected || hovered ? AccentColor : BoxBorderColor, 1.5f);
    if (border) gdip::GdipDrawPath(graphics, border.get(), path.get());
    if (selected) DrawTick(graphics, box);
  }
  DrawTextLine(graphics, text, label, 14.0f, InkColor, FontStyleRegular, StringAlignmentNear,
               StringAlignmentCenter);
}

void DrawFinishScreen(GpGraphics* graphics, float width, float height) {
  const SetupWindowState& state = WindowState;
  DrawTextBlock(graphics, FinishHeading(SetupOperation.load()), {32.0f, 28.0f, width - 64.0f, 42.0f}, 22.0f,
                InkColor, FontStyleBold);
  DrawTextBlock(graphics, FinishBody(state.webView2Missing).c_str(), {32.0f, 76.0f, width - 64.0f, 58.0f},
                12.5f, MutedColor, FontStyleRegular);
  DrawOptionRow(graphics, FinishTargetRect(FinishTargetPart::LaunchBox),
                FinishTargetRect(FinishTargetPart::LaunchLabel), kLaunchOptionLabel, state.launchSelected,
                state.hoverLaunch);
  DrawOptionRow(graphics, FinishTargetRect(FinishTargetPart::ShortcutBox),
                FinishTargetRect(FinishTargetPart::ShortcutLabel), kShortcutOptionLabel,
                state.shortcutSelected, state.hoverShortcut);
  const TargetRect button = FinishButtonRect(width, height);
  FillRoundedRectangle(graphics, button, 10.0f,
                       state.hoverFinish && !state.finishing ? AccentHoverColor : AccentColor);
  DrawTextLine(graphics, FinishButtonLabel(state.finishing, state.launchSelected), button, 14.0f, WhiteColor,
               FontStyleBold, StringAlignmentCenter, StringAlignmentCenter);
  if (state.focusCueShown && !state.finishing) DrawFinishFocusCue(graphics, state.focus, button);
}

}  // namespace velmora

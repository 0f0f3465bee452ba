#include "ui/win/finish_screen.h"

#include <cmath>

#include "base/setup_state.h"
#include "ui/win/drawing.h"
#include "ui/palette.h"
#include "ui/screen_layout.h"
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

void DrawTick(GpGraphics* graphics, const TargetRect& box, std::uint32_t argb) {
  const ScopedPen pen = MakePen(argb, 2.2f);
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
void DrawFinishFocusCue(GpGraphics* graphics, FinishTarget focus, const TargetRect& button,
                        const ScreenColors& colors) {
  if (focus == FinishTarget::FinishButton) {
    DrawFocusCue(
        graphics,
        OnPixelCentres({button.x + 4.0f, button.y + 4.0f, button.width - 8.0f, button.height - 8.0f}),
        colors.onAccent);
    return;
  }
  const bool launch = focus == FinishTarget::LaunchOption;
  if (!launch && focus != FinishTarget::ShortcutOption) return;
  const TargetRect label =
      FinishTargetRect(launch ? FinishTargetPart::LaunchLabel : FinishTargetPart::ShortcutLabel);
  const TargetRect words =
      MeasureTextLine(graphics, launch ? kLaunchOptionLabel : kShortcutOptionLabel, label, kOptionTextSize,
                      FontStyleRegular, StringAlignmentNear, StringAlignmentCenter);
  DrawFocusCue(graphics,
               OnPixelCentres({words.x - 2.0f, words.y - 1.0f, words.width + 3.0f, words.height + 1.0f}),
               colors.ink);
}

}  // namespace

void DrawOptionRow(GpGraphics* graphics, const TargetRect& box, const TargetRect& label, const wchar_t* text,
                   bool selected, bool hovered, const ScreenColors& colors) {
  GpPath* rawPath = nullptr;
  if (gdip::GdipCreatePath(FillModeAlternate, &rawPath) == Ok) {
    const ScopedPath path(rawPath);
    AddRoundedRectangle(path.get(), box, kBoxRadius);
    const ScopedBrush fill = MakeSolidBrush(selected ? colors.accent : colors.background);
    if (fill) gdip::GdipFillPath(graphics, fill.get(), path.get());
    const ScopedPen border = MakePen(selected || hovered ? colors.accent : colors.boxBorder, 1.5f);
    if (border) gdip::GdipDrawPath(graphics, border.get(), path.get());
    if (selected) DrawTick(graphics, box, colors.onAccent);
  }
  DrawTextLine(graphics, text, label, kOptionTextSize, colors.ink, FontStyleRegular, StringAlignmentNear,
               StringAlignmentCenter);
}

void DrawFinishScreen(GpGraphics* graphics, float width, float height, const ScreenColors& colors) {
  const SetupWindowState& state = WindowState;
  const FinishScreenLayout layout = LayOutFinishScreen(width);
  DrawTextBlock(graphics, FinishHeading(SetupOperation.load()), layout.heading, kTitleTextSize, colors.ink,
                FontStyleBold);
  DrawTextBlock(graphics,
                FinishBody(state.webView2Missing, RestartRequired.load(), state.actionsOffered).c_str(),
                layout.body, kBodyTextSize, colors.muted, FontStyleRegular);
  if (state.actionsOffered) {
    DrawOptionRow(graphics, FinishTargetRect(FinishTargetPart::LaunchBox),
                  FinishTargetRect(FinishTargetPart::LaunchLabel), kLaunchOptionLabel, state.launchSelected,
                  state.hoverLaunch, colors);
    DrawOptionRow(graphics, FinishTargetRect(FinishTargetPart::ShortcutBox),
                  FinishTargetRect(FinishTargetPart::ShortcutLabel), kShortcutOptionLabel,
                  state.shortcutSelected, state.hoverShortcut, colors);
  }
  const TargetRect button = FinishButtonRect(width, height);
  FillRoundedRectangle(graphics, button, kButtonRadius,
                       state.hoverFinish && !state.finishing ? colors.accentHover : colors.accent);
  DrawTextLine(graphics, FinishButtonLabel(state.finishing, state.launchSelected), button, kButtonTextSize,
               colors.onAccent, FontStyleBold, StringAlignmentCenter, StringAlignmentCenter);
  if (state.focusCueShown && !state.finishing) DrawFinishFocusCue(graphics, state.focus, button, colors);
}

}  // namespace velmora

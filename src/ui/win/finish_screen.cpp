#include "ui/win/finish_screen.h"

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
  DrawTextBlock(graphics, FinishBody(state.webView2Missing, RestartRequired.load()).c_str(),
                {32.0f, 76.0f, width - 64.0f, 58.0f}, 12.5f, MutedColor, FontStyleRegular);
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
}

}  // namespace velmora

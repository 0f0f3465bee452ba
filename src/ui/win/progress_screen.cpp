#include "ui/win/progress_screen.h"

#include <algorithm>

#include "base/setup_state.h"
#include "ui/win/drawing.h"
#include "ui/palette.h"
#include "ui/screen_texts.h"

namespace velmora {

using namespace Gdiplus;

void DrawProgressScreen(GpGraphics* graphics, float width, float height) {
  // Copied out first, so the worker's lock is never held while GDI+ draws.
  const std::wstring status = ProgressStatusLine(CopyStatusText());
  DrawTextLine(graphics, kProgressTitle, {32.0f, 26.0f, width - 64.0f, 32.0f}, 22.0f, InkColor, FontStyleBold,
               StringAlignmentNear, StringAlignmentNear);
  DrawTextBlock(graphics, status.c_str(), {32.0f, 64.0f, width - 64.0f, std::max(height - 138.0f, 24.0f)},
                12.5f, MutedColor, FontStyleRegular);
  const TargetRect track{32.0f, height - 64.0f, width - 64.0f, 8.0f};
  FillRoundedRectangle(graphics, track, 4.0f, TrackColor);
  const int percent = std::clamp(ProgressPercent, 0, 100);
  if (percent > 0) {
    FillRoundedRectangle(
        graphics, {track.x, track.y, (static_cast<float>(percent) / 100.0f) * track.width, track.height},
        4.0f, AccentColor);
  }
  DrawTextLine(graphics, kProgressFooter, {32.0f, height - 40.0f, width - 64.0f, 18.0f}, 11.0f, MutedColor,
               FontStyleRegular, StringAlignmentNear, StringAlignmentNear);
}

}  // namespace velmora

#include "ui/win/progress_screen.h"

#include <algorithm>

#include "base/setup_state.h"
#include "ui/win/drawing.h"
#include "ui/palette.h"
#include "ui/screen_layout.h"
#include "ui/screen_texts.h"

namespace velmora {

using namespace Gdiplus;

void DrawProgressScreen(GpGraphics* graphics, float width, float height, const ScreenColors& colors) {
  // Copied out first, so the worker's lock is never held while GDI+ draws.
  const std::wstring status = ProgressStatusLine(CopyStatusText());
  const ProgressScreenLayout layout = LayOutProgressScreen(width, height);
  DrawTextLine(graphics, kProgressTitle, layout.title, kTitleTextSize, colors.ink, FontStyleBold,
               StringAlignmentNear, StringAlignmentNear);
  DrawTextBlock(graphics, status.c_str(), layout.status, kBodyTextSize, colors.muted, FontStyleRegular);
  const TargetRect& track = layout.track;
  FillRoundedRectangle(graphics, track, kTrackRadius, colors.track);
  const int percent = std::clamp(ProgressPercent, 0, 100);
  if (percent > 0) {
    FillRoundedRectangle(
        graphics, {track.x, track.y, (static_cast<float>(percent) / 100.0f) * track.width, track.height},
        kTrackRadius, colors.accent);
  }
  DrawTextLine(graphics, kProgressFooter, layout.footer, kFooterTextSize, colors.muted, FontStyleRegular,
               StringAlignmentNear, StringAlignmentNear);
}

}  // namespace velmora

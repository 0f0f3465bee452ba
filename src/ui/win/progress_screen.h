// The screen shown while the worker runs: title, status sentence, progress bar and footer.
#pragma once

#include "ui/palette.h"
#include "ui/win/gdiplus_objects.h"

namespace velmora {

// Draws from StatusText and ProgressPercent as they are at this moment.
void DrawProgressScreen(Gdiplus::GpGraphics* graphics, float width, float height, const ScreenColors& colors);

}  // namespace velmora

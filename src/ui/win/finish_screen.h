// The screen shown once the worker is done: what happened, the two options, the WebView2
// warning when the runtime is missing, and the Finish button in its current state.
#pragma once

#include "ui/finish_screen_targets.h"
#include "ui/palette.h"
#include "ui/win/gdiplus_objects.h"

namespace velmora {

// Draws from WindowState and SetupOperation as they are at this moment.
void DrawFinishScreen(Gdiplus::GpGraphics* graphics, float width, float height, const ScreenColors& colors);

// One check box and its label; a hovered box gets the accent border even when unselected.
void DrawOptionRow(Gdiplus::GpGraphics* graphics, const TargetRect& box, const TargetRect& label,
                   const wchar_t* text, bool selected, bool hovered, const ScreenColors& colors);

}  // namespace velmora

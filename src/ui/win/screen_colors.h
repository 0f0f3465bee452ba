// The colours the screens draw with: the design's, or the system's while high contrast is on.
#pragma once

#include <windows.h>

#include <functional>

#include "ui/palette.h"

namespace velmora {

// True when SPI_GETHIGHCONTRAST reports HCF_HIGHCONTRASTON.
bool SystemHighContrastOn();

// What choosing the colours asks of the system; the defaults are the system's own. Wine never
// reports high contrast, so a test replaces highContrastOn to see the system colours drawn.
struct ScreenColorCalls {
  std::function<bool()> highContrastOn = SystemHighContrastOn;
  std::function<DWORD(int)> systemColor = [](int index) { return GetSysColor(index); };
};

// In high contrast: window, window text, highlight, highlight text and gray text, each where
// the design has its nearest colour; otherwise the design's palette.
ScreenColors CurrentScreenColors(const ScreenColorCalls& calls = {});

}  // namespace velmora

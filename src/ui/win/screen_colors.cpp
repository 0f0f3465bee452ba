#include "ui/win/screen_colors.h"

namespace velmora {
namespace {

// A COLORREF (0x00BBGGRR) as opaque ARGB.
std::uint32_t OpaqueArgb(COLORREF colour) {
  return 0xFF000000u | (static_cast<std::uint32_t>(GetRValue(colour)) << 16) |
         (static_cast<std::uint32_t>(GetGValue(colour)) << 8) | GetBValue(colour);
}

}  // namespace

bool SystemHighContrastOn() {
  HIGHCONTRASTW contrast = {};
  contrast.cbSize = sizeof contrast;
  return SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0) &&
         (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

ScreenColors CurrentScreenColors(const ScreenColorCalls& calls) {
  if (!calls.highContrastOn()) return kDesignColors;
  const auto system = [&](int index) { return OpaqueArgb(calls.systemColor(index)); };
  const std::uint32_t text = system(COLOR_WINDOWTEXT);
  const std::uint32_t highlight = system(COLOR_HIGHLIGHT);
  // Status and body text stay window text: gray text is for what cannot be used, and would be
  // too faint to read in some schemes. Gray text draws the empty track, which is no text.
  return {text,      text, system(COLOR_GRAYTEXT), highlight,
          highlight, text, system(COLOR_WINDOW),   system(COLOR_HIGHLIGHTTEXT)};
}

}  // namespace velmora

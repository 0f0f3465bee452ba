// The colours both screens draw with, as 32-bit ARGB (alpha first).
#pragma once

#include <cstdint>

namespace velmora {

inline constexpr std::uint32_t InkColor = 0xFF1E1E26;          // titles, option labels
inline constexpr std::uint32_t MutedColor = 0xFF6A6978;        // status, footer, finish body
inline constexpr std::uint32_t TrackColor = 0xFFEEEBF8;        // progress bar track
inline constexpr std::uint32_t AccentColor = 0xFF7C5CFF;       // fill, selected box, Finish
inline constexpr std::uint32_t AccentHoverColor = 0xFF8F70FF;  // Finish under the mouse
inline constexpr std::uint32_t BoxBorderColor = 0xFFCDC9E0;    // unselected, unhovered box
inline constexpr std::uint32_t WhiteColor = 0xFFFFFFFF;        // background, tick, button label

// The colours of one paint, by what they are for: the design above, or in high contrast the
// system's own, so that the shapes stay and the user's colours carry them.
struct ScreenColors {
  std::uint32_t ink;          // titles, option labels
  std::uint32_t muted;        // status, footer, finish body
  std::uint32_t track;        // progress bar track
  std::uint32_t accent;       // progress fill, selected box, Finish
  std::uint32_t accentHover;  // Finish under the mouse
  std::uint32_t boxBorder;    // unselected, unhovered box
  std::uint32_t background;   // the client area, an unselected box's face
  std::uint32_t onAccent;     // tick, button label
};

inline constexpr ScreenColors kDesignColors = {InkColor,         MutedColor,     TrackColor, AccentColor,
                                               AccentHoverColor, BoxBorderColor, WhiteColor, WhiteColor};

}  // namespace velmora

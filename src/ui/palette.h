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

}  // namespace velmora

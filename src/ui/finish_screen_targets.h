// Where the finish screen's targets are, in logical units (pixels at 96 DPI) with the origin at
// the top left. The
// option rows are anchored to the top left; only the Finish button follows the client size.
// The same rectangles are drawn and hit-tested, so a click lands where the user sees a target.
#pragma once

#include <array>
#include <cstddef>

namespace velmora {

struct TargetRect {
  float x;
  float y;
  float width;
  float height;
};

// Launch box, shortcut box, launch label, shortcut label: x, y, width, height each.
inline constexpr std::array<float, 16> kFinishTargetTable = {
    32.0f, 144.0f, 20.0f,  20.0f,  //
    32.0f, 180.0f, 20.0f,  20.0f,  //
    64.0f, 144.0f, 330.0f, 20.0f,  //
    64.0f, 180.0f, 360.0f, 20.0f,
};

enum class FinishTargetPart { LaunchBox = 0, ShortcutBox = 1, LaunchLabel = 2, ShortcutLabel = 3 };

constexpr TargetRect FinishTargetRect(FinishTargetPart part) {
  const auto i = static_cast<std::size_t>(part) * 4;
  return {kFinishTargetTable[i], kFinishTargetTable[i + 1], kFinishTargetTable[i + 2],
          kFinishTargetTable[i + 3]};
}

// The Finish button sits 32 pixels from the right and bottom edges of the client area.
constexpr TargetRect FinishButtonRect(float clientWidth, float clientHeight) {
  return {clientWidth - 172.0f, clientHeight - 76.0f, 140.0f, 44.0f};
}

enum class FinishTarget { NoTarget, LaunchOption, ShortcutOption, FinishButton };

// Edges count as inside; the gap between a box and its label is no target. The point and the
// client size are in pixels; scale is pixels per logical unit (the window's DPI / 96), by which
// the targets are scaled as they are drawn. Without the options on the screen only the button
// is a target.
FinishTarget HitTestFinishScreen(int x, int y, int clientWidth, int clientHeight, float scale = 1.0f,
                                 bool optionsOffered = true);

// The tab order: launch option, shortcut option, Finish, and round again; backwards for
// Shift+Tab. NoTarget goes to the first (or, backwards, the last) target. Without the options
// the focus stays on Finish.
FinishTarget NextFocus(FinishTarget current, bool backwards, bool optionsOffered = true);

}  // namespace velmora

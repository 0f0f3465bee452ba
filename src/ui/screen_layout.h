// Where the two screens draw their texts and the progress bar, in logical units: pixels at
// 96 DPI, with W and H the client size in the same units. Titles and the status hang from the
// top, the bar and the footer from the bottom. The window scales all of it by its DPI.
#pragma once

#include "ui/finish_screen_targets.h"

namespace velmora {

// The DPI at which one logical unit is one pixel.
inline constexpr unsigned kBaseDpi = 96;

// Text sizes in logical units.
inline constexpr float kTitleTextSize = 22.0f;
inline constexpr float kBodyTextSize = 12.5f;
inline constexpr float kFooterTextSize = 11.0f;
inline constexpr float kOptionTextSize = 14.0f;
inline constexpr float kButtonTextSize = 14.0f;
// Corner radii in logical units.
inline constexpr float kTrackRadius = 4.0f;
inline constexpr float kBoxRadius = 5.0f;
inline constexpr float kButtonRadius = 10.0f;

struct ProgressScreenLayout {
  TargetRect title;
  TargetRect status;  // what is left above the bar, less a 10-unit gap, but at least 24 high
  TargetRect track;
  TargetRect footer;
};

ProgressScreenLayout LayOutProgressScreen(float width, float height);

struct FinishScreenLayout {
  TargetRect heading;
  TargetRect body;
};

FinishScreenLayout LayOutFinishScreen(float width);

// Logical units to pixels at a DPI; 96 DPI leaves every value as it is.
float ScaleForDpi(unsigned dpi);
TargetRect ScaleRect(const TargetRect& rect, float scale);
// A whole-pixel length, rounded to the nearest pixel.
int ScaleLength(int length, float scale);

}  // namespace velmora

#include "ui/screen_layout.h"

#include <algorithm>
#include <cmath>

namespace velmora {

ProgressScreenLayout LayOutProgressScreen(float width, float height) {
  return {
      {32.0f, 26.0f, width - 64.0f, 32.0f},
      {32.0f, 64.0f, width - 64.0f, std::max(height - 138.0f, 24.0f)},
      {32.0f, height - 64.0f, width - 64.0f, 8.0f},
      {32.0f, height - 40.0f, width - 64.0f, 18.0f},
  };
}

FinishScreenLayout LayOutFinishScreen(float width) {
  return {
      {32.0f, 28.0f, width - 64.0f, 42.0f},
      {32.0f, 76.0f, width - 64.0f, 58.0f},
  };
}

float ScaleForDpi(unsigned dpi) {
  return dpi == 0 ? 1.0f : static_cast<float>(dpi) / static_cast<float>(kBaseDpi);
}

TargetRect ScaleRect(const TargetRect& rect, float scale) {
  return {rect.x * scale, rect.y * scale, rect.width * scale, rect.height * scale};
}

int ScaleLength(int length, float scale) {
  return static_cast<int>(std::lround(static_cast<double>(length) * scale));
}

}  // namespace velmora

#include "ui/finish_screen_targets.h"

namespace velmora {
namespace {

bool Contains(const TargetRect& rect, float x, float y) {
  return x >= rect.x && x <= rect.x + rect.width && y >= rect.y && y <= rect.y + rect.height;
}

}  // namespace

FinishTarget HitTestFinishScreen(int x, int y, int clientWidth, int clientHeight) {
  const float px = static_cast<float>(x);
  const float py = static_cast<float>(y);
  if (Contains(FinishTargetRect(FinishTargetPart::LaunchBox), px, py) ||
      Contains(FinishTargetRect(FinishTargetPart::LaunchLabel), px, py)) {
    return FinishTarget::LaunchOption;
  }
  if (Contains(FinishTargetRect(FinishTargetPart::ShortcutBox), px, py) ||
      Contains(FinishTargetRect(FinishTargetPart::ShortcutLabel), px, py)) {
    return FinishTarget::ShortcutOption;
  }
  if (Contains(FinishButtonRect(static_cast<float>(clientWidth), static_cast<float>(clientHeight)), px, py)) {
    return FinishTarget::FinishButton;
  }
  return FinishTarget::NoTarget;
}

FinishTarget NextFocus(FinishTarget current, bool backwards) {
  constexpr FinishTarget kOrder[] = {FinishTarget::LaunchOption, FinishTarget::ShortcutOption,
                                     FinishTarget::FinishButton};
  constexpr int kCount = 3;
  int index = backwards ? kCount : -1;
  for (int i = 0; i < kCount; ++i) {
    if (kOrder[i] == current) index = i;
  }
  return kOrder[(index + (backwards ? kCount - 1 : 1)) % kCount];
}

}  // namespace velmora

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

}  // namespace velmora

#include "ui/finish_screen_targets.h"

namespace velmora {
namespace {

bool Contains(const TargetRect& rect, float x, float y) {
  return x >= rect.x && x <= rect.x + rect.width && y >= rect.y && y <= rect.y + rect.height;
}

}  // namespace

FinishTarget HitTestFinishScreen(int x, int y, int clientWidth, int clientHeight, bool optionsOffered) {
  const float px = static_cast<float>(x);
  const float py = static_cast<float>(y);
  const auto onOption = [&](FinishTargetPart box, FinishTargetPart label) {
    return optionsOffered &&
           (Contains(FinishTargetRect(box), px, py) || Contains(FinishTargetRect(label), px, py));
  };
  if (onOption(FinishTargetPart::LaunchBox, FinishTargetPart::LaunchLabel)) return FinishTarget::LaunchOption;
  if (onOption(FinishTargetPart::ShortcutBox, FinishTargetPart::ShortcutLabel)) {
    return FinishTarget::ShortcutOption;
  }
  if (Contains(FinishButtonRect(static_cast<float>(clientWidth), static_cast<float>(clientHeight)), px, py)) {
    return FinishTarget::FinishButton;
  }
  return FinishTarget::NoTarget;
}

}  // namespace velmora

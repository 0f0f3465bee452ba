#include "ui/finish_screen_targets.h"

#include "ui/screen_layout.h"

namespace velmora {
namespace {

bool Contains(const TargetRect& rect, float x, float y) {
  return x >= rect.x && x <= rect.x + rect.width && y >= rect.y && y <= rect.y + rect.height;
}

}  // namespace

FinishTarget HitTestFinishScreen(int x, int y, int clientWidth, int clientHeight, float scale,
                                 bool optionsOffered) {
  const float px = static_cast<float>(x);
  const float py = static_cast<float>(y);
  const auto hits = [&](FinishTargetPart part) {
    return optionsOffered && Contains(ScaleRect(FinishTargetRect(part), scale), px, py);
  };
  if (hits(FinishTargetPart::LaunchBox) || hits(FinishTargetPart::LaunchLabel))
    return FinishTarget::LaunchOption;
  if (hits(FinishTargetPart::ShortcutBox) || hits(FinishTargetPart::ShortcutLabel)) {
    return FinishTarget::ShortcutOption;
  }
  const TargetRect button =
      FinishButtonRect(static_cast<float>(clientWidth) / scale, static_cast<float>(clientHeight) / scale);
  if (Contains(ScaleRect(button, scale), px, py)) return FinishTarget::FinishButton;
  return FinishTarget::NoTarget;
}

FinishTarget NextFocus(FinishTarget current, bool backwards, bool optionsOffered) {
  if (!optionsOffered) return FinishTarget::FinishButton;
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

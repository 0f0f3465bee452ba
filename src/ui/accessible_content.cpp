#include "ui/accessible_content.h"

#include <algorithm>

#include "base/setup_state.h"
#include "ui/screen_layout.h"
#include "ui/screen_texts.h"
#include "base/user_texts.h"

namespace velmora {
namespace {

AccessibleElement Text(std::wstring name, const TargetRect& rect) {
  return {AccessibleRole::StaticText, std::move(name), {}, {}, rect, FinishTarget::NoTarget};
}

// A check box's area is its box and its label together, as a click sees it.
TargetRect Union(const TargetRect& a, const TargetRect& b) {
  const float left = std::min(a.x, b.x);
  const float top = std::min(a.y, b.y);
  const float right = std::max(a.x + a.width, b.x + b.width);
  const float bottom = std::max(a.y + a.height, b.y + b.height);
  return {left, top, right - left, bottom - top};
}

AccessibleElement Option(const SetupWindowState& state, FinishTarget target) {
  const bool launch = target == FinishTarget::LaunchOption;
  const bool checked = launch ? state.launchSelected : state.shortcutSelected;
  const TargetRect box =
      FinishTargetRect(launch ? FinishTargetPart::LaunchBox : FinishTargetPart::ShortcutBox);
  const TargetRect label =
      FinishTargetRect(launch ? FinishTargetPart::LaunchLabel : FinishTargetPart::ShortcutLabel);
  AccessibleElement element{AccessibleRole::CheckBox,
                            launch ? kLaunchOptionLabel : kShortcutOptionLabel,
                            {},
                            checked ? texts::kUncheckAction : texts::kCheckAction,
                            Union(box, label),
                            target};
  element.checked = checked;
  element.focused = state.focus == target;
  return element;
}

}  // namespace

std::vector<AccessibleElement> AccessibleElements(const SetupWindowState& state, float width, float height,
                                                  const std::wstring& status, int percent) {
  if (!state.finishScreenShown) {
    const ProgressScreenLayout layout = LayOutProgressScreen(width, height);
    AccessibleElement bar{AccessibleRole::ProgressBar,
                          kProgressTitle,
                          FillIn(texts::kProgressValue, {std::to_wstring(std::clamp(percent, 0, 100))}),
                          {},
                          layout.track,
                          FinishTarget::NoTarget};
    return {Text(kProgressTitle, layout.title), Text(ProgressStatusLine(status), layout.status), bar,
            Text(kProgressFooter, layout.footer)};
  }
  const FinishScreenLayout layout = LayOutFinishScreen(width);
  AccessibleElement finish{AccessibleRole::PushButton,
                           FinishButtonLabel(state.finishing, state.launchSelected),
                           {},
                           texts::kPressAction,
                           FinishButtonRect(width, height),
                           FinishTarget::FinishButton};
  finish.focused = state.focus == FinishTarget::FinishButton;
  finish.isDefault = true;
  const AccessibleElement heading = Text(FinishHeading(SetupOperation.load()), layout.heading);
  const AccessibleElement body =
      Text(FinishBody(state.webView2Missing, RestartRequired.load(), state.actionsOffered), layout.body);
  // Options that are not on the screen are not announced either.
  if (!state.actionsOffered) return {heading, body, finish};
  return {heading, body, Option(state, FinishTarget::LaunchOption),
          Option(state, FinishTarget::ShortcutOption), finish};
}

long ChildIdOf(const std::vector<AccessibleElement>& elements, FinishTarget target) {
  if (target == FinishTarget::NoTarget) return 0;
  for (std::size_t i = 0; i < elements.size(); ++i) {
    if (elements[i].target == target) return static_cast<long>(i + 1);
  }
  return 0;
}

}  // namespace velmora

// What a screen reader is told about the window's content: one element per text, option,
// button and bar, in reading order, with the name, role, state, value and default action that
// the system's own controls would report. Built from the window state at the moment of asking,
// so it always matches what is drawn.
#pragma once

#include <string>
#include <vector>

#include "ui/finish_screen_targets.h"
#include "ui/setup_window_state.h"

namespace velmora {

enum class AccessibleRole { StaticText, ProgressBar, CheckBox, PushButton };

struct AccessibleElement {
  AccessibleRole role;
  std::wstring name;
  std::wstring value;          // the progress bar's percentage, as "42%"; empty for the rest
  std::wstring defaultAction;  // "Check", "Uncheck", "Press"; empty where there is none
  TargetRect rect;             // in logical units, as drawn
  FinishTarget target;         // what a click there does; NoTarget for texts and the bar
  bool checked = false;
  bool focused = false;
  bool isDefault = false;  // the button Enter presses
};

// The elements of the screen the window shows now. width and height are the logical client
// size; status and percent what the progress screen draws.
std::vector<AccessibleElement> AccessibleElements(const SetupWindowState& state, float width, float height,
                                                  const std::wstring& status, int percent);

// The child id (1-based, as MSAA counts) of the element that shows target; 0 when none does.
long ChildIdOf(const std::vector<AccessibleElement>& elements, FinishTarget target);

}  // namespace velmora

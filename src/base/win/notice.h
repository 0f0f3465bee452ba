// The notice given the way the run mode decides.
#pragma once

#include "base/notice.h"

namespace velmora {

// A modal message box (caption, icon and owner from the notice) when the run is interactive;
// when unattended, the text as one log line, so that no window waits for a click.
void TellUser(const Notice& notice);

}  // namespace velmora

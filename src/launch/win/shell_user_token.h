// The token of the user signed in to the desktop: the one that runs the desktop shell.
#pragma once

#include "base/win/scoped_handle.h"

namespace velmora {

// A primary token of the shell window's owner, or an empty handle when there is no shell
// window or its process or token cannot be opened or duplicated.
[[nodiscard]] ScopedHandle GetShellUserToken();

}  // namespace velmora

// The "Velmora.lnk" shortcut on the desktop of the user signed in to the desktop.
#pragma once

namespace velmora {

// True when the link file was saved. Needs COM initialised on the calling thread (single-
// threaded apartment) by the caller.
[[nodiscard]] bool CreateDesktopShortcut();

}  // namespace velmora

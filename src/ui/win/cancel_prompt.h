// Asking the user whether to stop a run whose download is under way.
#pragma once

#include <windows.h>

namespace velmora {

// Shows "Cancel Velmora setup?" with Yes and No, owned by the window. Yes asks the worker to
// stop at its next read; the worker then ends the run and closes the window. No, or a Yes that
// comes after the download has ended, leaves the run going. Only one question is open at a time.
void AskToCancelSetup(HWND window);

}  // namespace velmora

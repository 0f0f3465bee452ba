// The window's content for screen readers: WM_GETOBJECT answered with an MSAA object whose
// children are the elements of AccessibleElements, and the events that tell a reader when a
// text, the progress value, an option or the focus changed. UI Automation reaches the same
// object through its MSAA proxy. oleacc is bound at run time from the system folder.
#pragma once

#include <windows.h>

namespace velmora {

// Asked for the window's thread by WM_GETOBJECT: the lResult for OBJID_CLIENT, or 0 (let
// DefWindowProc answer) for every other object id or when oleacc cannot be had.
LRESULT AnswerGetObject(HWND window, WPARAM flags, LPARAM objectId);

// The message that carries a screen reader's "do default action" to the window, with the
// FinishTarget in wParam; the window acts as for a click on that target.
constexpr UINT WM_SETUP_ACCESSIBLE_ACTION = WM_APP + 16;

// The events for one change, with the child ids of the screen the window shows now.
void AnnounceStatusChanged(HWND window);
void AnnounceProgressChanged(HWND window);
void AnnounceOptionChanged(HWND window);  // the focused option's checked state
void AnnounceFocusChanged(HWND window);
void AnnounceScreenChanged(HWND window);  // the finish screen replaced the progress screen

}  // namespace velmora

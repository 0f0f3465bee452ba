// The setup window: its class, its creation and first showing, and its window procedure.
#pragma once

#include <windows.h>

#include "base/win/win_util.h"
#include "ui/win/finish_sequence.h"
#include "ui/win/screen_colors.h"

namespace velmora {

inline constexpr wchar_t kSetupWindowClass[] = L"VelmoraSetupWindow";
inline constexpr const wchar_t* kSetupWindowTitle = kSetupCaption;

LRESULT CALLBACK SetupWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Keeps the three hover flags in step with the point (client coordinates) and asks for a
// WM_MOUSELEAVE; repaints only when a flag changed.
void UpdateHover(HWND window, int x, int y);

// The window class with icon resource 101 of the module, the arrow cursor and no class styles.
[[nodiscard]] bool RegisterSetupWindowClass(HINSTANCE instance);

// The fixed-size 500 x 216 window (caption, system menu, minimise box); its handle is stored in
// SetupWindowHandle for the worker to post to. Null when the window could not be created. The
// window keeps its own copy of the post-install actions and of the colour calls until it is
// destroyed.
HWND CreateSetupWindow(HINSTANCE instance, const FinishCalls& finishCalls = {},
                       const ScreenColorCalls& colorCalls = {});

// Centres the window on the monitor under the mouse pointer, shows and paints it.
void ShowSetupWindow(HWND window);

}  // namespace velmora

#include "ui/win/setup_window.h"

#include <windowsx.h>

#include "base/bootstrap_log.h"
#include "base/run_mode.h"
#include "base/setup_state.h"
#include "ui/finish_screen_targets.h"
#include "ui/win/accessible_window.h"
#include "ui/win/cancel_prompt.h"
#include "ui/win/paint_frame.h"
#include "ui/setup_window_state.h"
#include "ui/win/window_dpi.h"
#include "ui/win/window_placement.h"

namespace velmora {
namespace {

constexpr int kIconResource = 101;
constexpr DWORD kSetupWindowStyle = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

void InvalidateClient(HWND window) { InvalidateRect(window, nullptr, FALSE); }

SIZE ClientSize(HWND window) {
  RECT client = {};
  GetClientRect(window, &client);
  return {client.right - client.left, client.bottom - client.top};
}

// At the rectangles the screen is drawn with, scaled to the window's DPI.
FinishTarget TargetAt(HWND window, int x, int y) {
  const SIZE size = ClientSize(window);
  return HitTestFinishScreen(x, y, size.cx, size.cy, WindowScale(window), WindowState.actionsOffered);
}

// Both sizes are outer sizes at 96 DPI; the window gets the same client area, scaled.
void PlaceScaled(HWND window, int width, int height, bool useCursorMonitor) {
  const SIZE size = OuterSizeForDpi(window, width, height);
  PlaceWindowOnMonitor(window, size.cx, size.cy, useCursorMonitor);
}

// Moved to a monitor of another DPI, or the user changed the scale: the system's suggested
// rectangle keeps the window where the user sees it, and the next paint lays the screen out anew.
void OnDpiChanged(HWND window, const RECT& suggested) {
  SetWindowPos(window, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
               suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
  InvalidateClient(window);
}

bool CursorIsOverTarget(HWND window) {
  POINT cursor = {};
  if (!GetCursorPos(&cursor) || !ScreenToClient(window, &cursor)) return false;
  return TargetAt(window, cursor.x, cursor.y) != FinishTarget::NoTarget;
}

// What the window was created with; it owns them until WM_NCDESTROY.
struct SetupWindowCalls {
  FinishCalls finish;
  ScreenColorCalls colors;
};

const SetupWindowCalls* CallsOf(HWND window) {
  return reinterpret_cast<const SetupWindowCalls*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

// On a copy: destroying the window at the end of the sequence frees the window's own.
void FinishWithWindowCalls(HWND window) {
  const SetupWindowCalls* stored = CallsOf(window);
  RequestFinish(window, stored != nullptr ? stored->finish : FinishCalls{});
}

void Paint(HWND window) {
  const SetupWindowCalls* stored = CallsOf(window);
  PaintSetupWindow(window, CurrentScreenColors(stored != nullptr ? stored->colors : ScreenColorCalls{}));
}

bool OnSetCursor(HWND window, WORD hitCode) {
  const SetupWindowState& state = WindowState;
  if (hitCode != HTCLIENT) return false;
  if (state.finishing) {
    SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    return true;
  }
  if (state.finishScreenShown && CursorIsOverTarget(window)) {
    SetCursor(LoadCursorW(nullptr, IDC_HAND));
    return true;
  }
  return false;
}

// The close box, Alt+F4 and Esc: the window closes once the worker is done; while a download
// runs the user is asked whether to cancel; at any other busy time, and while finishing, the
// window stays.
void OnCloseRequest(HWND window) {
  if (WindowState.finishing) return;
  if (!SetupBusy.load()) {
    DestroyWindow(window);
  } else if (SetupCancel.load() == CancelState::Offered) {
    AskToCancelSetup(window);
  }
}

// What a click on a target, or Space on the focused one, does. An option that is acted on
// takes the focus, as a clicked check box does.
void ActivateTarget(HWND window, FinishTarget target) {
  SetupWindowState& state = WindowState;
  switch (target) {
    case FinishTarget::LaunchOption:
    case FinishTarget::ShortcutOption: {
      bool& selected = target == FinishTarget::LaunchOption ? state.launchSelected : state.shortcutSelected;
      selected = !selected;
      const bool focusMoved = state.focus != target;
      state.focus = target;
      InvalidateClient(window);
      if (focusMoved) AnnounceFocusChanged(window);
      AnnounceOptionChanged(window);
      break;
    }
    case FinishTarget::FinishButton:
      FinishWithWindowCalls(window);
      break;
    case FinishTarget::NoTarget:
      break;
  }
}

// Keyboard use shows the focus cue from then on. The window is top-level, so the system
// answers the change with WM_UPDATEUISTATE to the window itself; Wine keeps no such state and
// sends nothing, so the window notes the change itself as well.
void ShowFocusCue(HWND window) {
  if (WindowState.focusCueShown) return;
  WindowState.focusCueShown = true;
  SendMessageW(window, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
}

void OnKeyDown(HWND window, WPARAM key) {
  SetupWindowState& state = WindowState;
  if (state.finishing) return;
  if (key == VK_RETURN) {
    if (state.finishScreenShown) FinishWithWindowCalls(window);
  } else if (key == VK_ESCAPE) {
    OnCloseRequest(window);
  } else if (key == VK_TAB && state.finishScreenShown) {
    state.focus = NextFocus(state.focus, GetKeyState(VK_SHIFT) < 0, state.actionsOffered);
    ShowFocusCue(window);
    InvalidateClient(window);
    AnnounceFocusChanged(window);
  } else if (key == VK_SPACE && state.finishScreenShown) {
    ShowFocusCue(window);
    ActivateTarget(window, state.focus);
  }
}

void OnLeftButtonUp(HWND window, int x, int y) {
  const SetupWindowState& state = WindowState;
  if (state.finishing || !state.finishScreenShown) return;
  ActivateTarget(window, TargetAt(window, x, y));
}

// The cue starts hidden whatever input came last, as in a dialog opened with the mouse.
void InitializeFocusCue(HWND window) {
  WindowState.focusCueShown = false;
  SendMessageW(window, WM_CHANGEUISTATE, MAKEWPARAM(UIS_SET, UISF_HIDEFOCUS), 0);
}

// The system's own changes of the cue (Alt pressed, for one) are followed; others pass on.
void OnUpdateUiState(HWND window, WPARAM wParam, LPARAM lParam) {
  DefWindowProcW(window, WM_UPDATEUISTATE, wParam, lParam);
  if ((HIWORD(wParam) & UISF_HIDEFOCUS) == 0) return;
  const WORD action = LOWORD(wParam);
  if (action != UIS_SET && action != UIS_CLEAR) return;
  const bool shown = action == UIS_CLEAR;
  if (shown != WindowState.focusCueShown) {
    WindowState.focusCueShown = shown;
    InvalidateClient(window);
  }
}

void OnSetupFinish(HWND window) {
  SetupWindowState& state = WindowState;
  if (SetupBusy.load() || state.finishScreenShown) return;
  if (IsUnattended()) {
    // Nobody is there to press Finish: the entry ends the run.
    LogMessage("Finish screen skipped for operation %d (unattended run).",
               static_cast<int>(SetupOperation.load()));
    DestroyWindow(window);
    return;
  }
  state.finishScreenShown = true;
  const SetupWindowCalls* stored = CallsOf(window);
  state.actionsOffered = (stored != nullptr ? stored->finish : FinishCalls{}).signedInUserPresent();
  if (!state.actionsOffered) {
    state.launchSelected = false;
    state.shortcutSelected = false;
  }
  // The new files may not all be in place until the restart: starting the app is left to the user.
  if (RestartRequired.load()) state.launchSelected = false;
  PlaceScaled(window, 520, 340, false);
  InvalidateClient(window);
  AnnounceScreenChanged(window);
  LogMessage("Finish screen shown for operation %d.", static_cast<int>(SetupOperation.load()));
  if (!state.actionsOffered) {
    LogMessage(
        "No signed-in user's token (no shell window): Velmora is not launched and no desktop shortcut "
        "is created, rather than as administrator; the user opens Velmora from the Start menu.");
  }
}

}  // namespace

void UpdateHover(HWND window, int x, int y) {
  SetupWindowState& state = WindowState;
  const FinishTarget target = state.finishScreenShown ? TargetAt(window, x, y) : FinishTarget::NoTarget;
  const bool launch = target == FinishTarget::LaunchOption;
  const bool shortcut = target == FinishTarget::ShortcutOption;
  const bool finish = target == FinishTarget::FinishButton;
  if (launch != state.hoverLaunch || shortcut != state.hoverShortcut || finish != state.hoverFinish) {
    state.hoverLaunch = launch;
    state.hoverShortcut = shortcut;
    state.hoverFinish = finish;
    InvalidateClient(window);
  }
  TRACKMOUSEEVENT track = {};
  track.cbSize = sizeof track;
  track.dwFlags = TME_LEAVE;
  track.hwndTrack = window;
  track.dwHoverTime = 0;
  TrackMouseEvent(&track);
}

LRESULT CALLBACK SetupWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  SetupWindowState& state = WindowState;
  switch (message) {
    case WM_CREATE:
      state.launchSelected = true;
      state.shortcutSelected = true;
      state.actionsOffered = true;
      InitializeFocusCue(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_NCDESTROY:
      delete CallsOf(window);
      SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      break;
    case WM_PAINT:
      Paint(window);
      return 0;
    case WM_ERASEBKGND:
      return 1;  // the paint frame covers every pixel
    case WM_CLOSE:
      OnCloseRequest(window);
      return 0;
    case WM_SETCURSOR:
      if (OnSetCursor(window, LOWORD(lParam))) return TRUE;
      break;
    case WM_KEYDOWN:
      OnKeyDown(window, wParam);
      return 0;
    case WM_DPICHANGED:
      OnDpiChanged(window, *reinterpret_cast<const RECT*>(lParam));
      return 0;
    case WM_UPDATEUISTATE:
      OnUpdateUiState(window, wParam, lParam);
      return 0;
    case WM_MOUSEMOVE:
      UpdateHover(window, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
      return 0;
    case WM_LBUTTONUP:
      OnLeftButtonUp(window, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
      return 0;
    case WM_MOUSELEAVE:
      state.hoverLaunch = state.hoverShortcut = state.hoverFinish = false;
      InvalidateClient(window);
      return 0;
    case WM_SETUP_STATUS:
      InvalidateClient(window);
      AnnounceStatusChanged(window);
      return 0;
    case WM_SETUP_PROGRESS:
      ProgressPercent = static_cast<std::int32_t>(static_cast<std::uint32_t>(wParam));
      InvalidateClient(window);
      AnnounceProgressChanged(window);
      return 0;
    case WM_GETOBJECT: {
      const LRESULT answer = AnswerGetObject(window, wParam, lParam);
      if (answer != 0) return answer;
      break;
    }
    case WM_SETUP_ACCESSIBLE_ACTION:
      if (!state.finishing && state.finishScreenShown)
        ActivateTarget(window, static_cast<FinishTarget>(wParam));
      return 0;
    case WM_SETUP_CLOSE:
      if (!SetupBusy.load()) DestroyWindow(window);
      return 0;
    case WM_SETUP_FINISH:
      OnSetupFinish(window);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

bool RegisterSetupWindowClass(HINSTANCE instance) {
  WNDCLASSW windowClass = {};
  windowClass.style = 0;
  windowClass.lpfnWndProc = SetupWindowProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = static_cast<HICON>(
      LoadImageW(instance, MAKEINTRESOURCEW(kIconResource), IMAGE_ICON, 0, 0, LR_SHARED | LR_DEFAULTSIZE));
  if (windowClass.hIcon == nullptr) windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(kIconResource));
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
  windowClass.lpszClassName = kSetupWindowClass;
  return RegisterClassW(&windowClass) != 0;
}

HWND CreateSetupWindow(HINSTANCE instance, const FinishCalls& finishCalls,
                       const ScreenColorCalls& colorCalls) {
  const HWND window =
      CreateWindowExW(0, kSetupWindowClass, kSetupWindowTitle, kSetupWindowStyle, CW_USEDEFAULT,
                      CW_USEDEFAULT, 500, 216, nullptr, nullptr, instance, nullptr);
  if (window != nullptr) {
    SetWindowLongPtrW(window, GWLP_USERDATA,
                      reinterpret_cast<LONG_PTR>(new SetupWindowCalls{finishCalls, colorCalls}));
  }
  SetupWindowHandle = window;
  return window;
}

void ShowSetupWindow(HWND window) {
  PlaceScaled(window, 500, 216, true);
  ShowWindow(window, SW_SHOWNORMAL);
  UpdateWindow(window);
}

}  // namespace velmora

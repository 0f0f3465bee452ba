#include "ui/win/setup_window.h"

#include <windowsx.h>

#include "base/bootstrap_log.h"
#include "base/run_mode.h"
#include "base/setup_state.h"
#include "ui/finish_screen_targets.h"
#include "ui/win/paint_frame.h"
#include "ui/setup_window_state.h"
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

FinishTarget TargetAt(HWND window, int x, int y) {
  const SIZE size = ClientSize(window);
  return HitTestFinishScreen(x, y, size.cx, size.cy);
}

bool CursorIsOverTarget(HWND window) {
  POINT cursor = {};
  if (!GetCursorPos(&cursor) || !ScreenToClient(window, &cursor)) return false;
  return TargetAt(window, cursor.x, cursor.y) != FinishTarget::NoTarget;
}

// The post-install actions the window was created with; it owns them until WM_NCDESTROY.
const FinishCalls* FinishCallsOf(HWND window) {
  return reinterpret_cast<const FinishCalls*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

// On a copy: destroying the window at the end of the sequence frees the window's own.
void FinishWithWindowCalls(HWND window) {
  const FinishCalls* stored = FinishCallsOf(window);
  RequestFinish(window, stored != nullptr ? *stored : FinishCalls{});
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

void OnKeyDown(HWND window, WPARAM key) {
  if (WindowState.finishing) return;
  if (key == VK_RETURN) {
    if (WindowState.finishScreenShown) FinishWithWindowCalls(window);
  } else if (key == VK_ESCAPE) {
    if (!SetupBusy.load()) DestroyWindow(window);
  }
}

void OnLeftButtonUp(HWND window, int x, int y) {
  SetupWindowState& state = WindowState;
  if (state.finishing || !state.finishScreenShown) return;
  switch (TargetAt(window, x, y)) {
    case FinishTarget::LaunchOption:
      state.launchSelected = !state.launchSelected;
      InvalidateClient(window);
      break;
    case FinishTarget::ShortcutOption:
      state.shortcutSelected = !state.shortcutSelected;
      InvalidateClient(window);
      break;
    case FinishTarget::FinishButton:
      FinishWithWindowCalls(window);
      break;
    case FinishTarget::NoTarget:
      break;
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
  // The new files may not all be in place until the restart: starting the app is left to the user.
  if (RestartRequired.load()) state.launchSelected = false;
  PlaceWindowOnMonitor(window, 520, 340, false);
  InvalidateClient(window);
  LogMessage("Finish screen shown for operation %d.", static_cast<int>(SetupOperation.load()));
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
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_NCDESTROY:
      delete FinishCallsOf(window);
      SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      break;
    case WM_PAINT:
      PaintSetupWindow(window);
      return 0;
    case WM_ERASEBKGND:
      return 1;  // the paint frame covers every pixel
    case WM_CLOSE:
      if (!SetupBusy.load() && !state.finishing) DestroyWindow(window);
      return 0;
    case WM_SETCURSOR:
      if (OnSetCursor(window, LOWORD(lParam))) return TRUE;
      break;
    case WM_KEYDOWN:
      OnKeyDown(window, wParam);
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
      return 0;
    case WM_SETUP_PROGRESS:
      ProgressPercent = static_cast<std::int32_t>(static_cast<std::uint32_t>(wParam));
      InvalidateClient(window);
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

HWND CreateSetupWindow(HINSTANCE instance, const FinishCalls& finishCalls) {
  const HWND window =
      CreateWindowExW(0, kSetupWindowClass, kSetupWindowTitle, kSetupWindowStyle, CW_USEDEFAULT,
                      CW_USEDEFAULT, 500, 216, nullptr, nullptr, instance, nullptr);
  if (window != nullptr) {
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(new FinishCalls(finishCalls)));
  }
  SetupWindowHandle = window;
  return window;
}

void ShowSetupWindow(HWND window) {
  PlaceWindowOnMonitor(window, 500, 216, true);
  ShowWindow(window, SW_SHOWNORMAL);
  UpdateWindow(window);
}

}  // namespace velmora

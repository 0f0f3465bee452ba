#include "window_recorder.h"

namespace velmora::test {
namespace {

// The recorder of the thread the event arrives on: out-of-context events come to the thread
// that set the hook, while it pumps messages.
thread_local WindowRecorder* currentRecorder = nullptr;

bool IsTopLevel(HWND window) { return GetAncestor(window, GA_PARENT) == GetDesktopWindow(); }

void CALLBACK OnWindowEvent(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG child, DWORD, DWORD) {
  if (currentRecorder == nullptr || window == nullptr || object != OBJID_WINDOW || child != CHILDID_SELF)
    return;
  if (!IsTopLevel(window)) return;
  currentRecorder->Note(window, event == EVENT_OBJECT_SHOW);
}

struct Look {
  WindowRecorder* recorder;
  DWORD processId;
};

BOOL CALLBACK LookAt(HWND window, LPARAM context) {
  const auto* look = reinterpret_cast<const Look*>(context);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == look->processId) look->recorder->Note(window, false);
  return TRUE;
}

}  // namespace

WindowRecorder::WindowRecorder(DWORD processId)
    : processId_(processId),
      stop_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      ready_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      thread_([this] { Run(); }) {
  WaitForSingleObject(ready_.Get(), 10000);
}

WindowRecorder::~WindowRecorder() {
  SetEvent(stop_.Get());
  if (thread_.joinable()) thread_.join();
}

std::vector<SeenWindow> WindowRecorder::Finish() {
  SetEvent(stop_.Get());
  if (thread_.joinable()) thread_.join();
  std::vector<SeenWindow> windows;
  for (const auto& [handle, window] : seen_) windows.push_back(window);
  return windows;
}

void WindowRecorder::Note(HWND window, bool shown) {
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != processId_) return;
  wchar_t className[128] = {};
  wchar_t title[256] = {};
  GetClassNameW(window, className, 128);
  GetWindowTextW(window, title, 256);
  const bool visible = shown || IsWindowVisible(window);
  const std::lock_guard<std::mutex> guard(lock_);
  SeenWindow& seen = seen_[window];
  if (className[0] != L'\0') seen.className = className;
  if (title[0] != L'\0') seen.title = title;
  seen.visible = seen.visible || visible;
}

void WindowRecorder::Run() {
  currentRecorder = this;
  const Scoped<NullEmptyTraits<HWINEVENTHOOK, UnhookWinEvent>> hook(SetWinEventHook(
      EVENT_OBJECT_CREATE, EVENT_OBJECT_SHOW, nullptr, OnWindowEvent, processId_, 0, WINEVENT_OUTOFCONTEXT));
  SetEvent(ready_.Get());
  const HANDLE stop = stop_.Get();
  Look look{this, processId_};
  for (;;) {
    EnumWindows(LookAt, reinterpret_cast<LPARAM>(&look));
    if (MsgWaitForMultipleObjects(1, &stop, FALSE, 10, QS_ALLINPUT) == WAIT_OBJECT_0) break;
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
  }
  EnumWindows(LookAt, reinterpret_cast<LPARAM>(&look));
  currentRecorder = nullptr;
}

std::vector<std::wstring> VisibleWindows(const std::vector<SeenWindow>& windows) {
  std::vector<std::wstring> visible;
  for (const SeenWindow& window : windows) {
    if (window.visible) visible.push_back(window.className + L" '" + window.title + L"'");
  }
  return visible;
}

}  // namespace velmora::test

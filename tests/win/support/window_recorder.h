// Records every top-level window of one process while it lives: the system's window events
// (creation and showing) where Wine delivers them, and a look over all top-level windows every
// 10 ms, so that a window that shows only for a moment is caught as well.
#pragma once

#include <windows.h>

#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/win/scoped_handle.h"

namespace velmora::test {

struct SeenWindow {
  std::wstring className;
  std::wstring title;
  bool visible = false;  // visible at some look, or shown by an event
};

class WindowRecorder {
 public:
  explicit WindowRecorder(DWORD processId);
  ~WindowRecorder();
  WindowRecorder(const WindowRecorder&) = delete;
  WindowRecorder& operator=(const WindowRecorder&) = delete;

  // Stops recording and returns every window seen, each once.
  std::vector<SeenWindow> Finish();

  // Called from the recording thread for one top-level window of the process.
  void Note(HWND window, bool shown);

 private:
  void Run();

  DWORD processId_;
  std::mutex lock_;
  std::map<HWND, SeenWindow> seen_;
  ScopedHandle stop_;
  ScopedHandle ready_;
  std::thread thread_;
};

// The windows that were visible, as "class 'title'" texts, for a failure message.
std::vector<std::wstring> VisibleWindows(const std::vector<SeenWindow>& windows);

}  // namespace velmora::test

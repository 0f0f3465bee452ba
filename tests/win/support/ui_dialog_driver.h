// Answers the modal dialogs that code under test shows on this thread, from a thread of its
// own, the way a user would: by choosing a button of each dialog in turn. Under Wine the
// dialogs take button commands posted to them (Escape does not close a task dialog there).
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace velmora::test {

// What one dialog showed when it came up.
struct SeenDialog {
  HWND owner = nullptr;
  std::vector<std::wstring> texts;        // its own title and the texts of its controls
  std::vector<std::string> logWhenShown;  // the log as it stood then
  bool expected = true;                   // false: more dialogs came than answers were given
};

// One answer: a WM_COMMAND with this identifier, or, with closeInstead, WM_CLOSE (the close
// button of the caption). beforeAnswer, when set, runs first on the driver's thread: what the
// user does while the dialog waits.
struct DialogAnswer {
  int command = 0;
  bool closeInstead = false;
  std::function<void()> beforeAnswer;
};

class DialogDriver {
 public:
  // Watches for dialogs titled `title` of this process and answers them in order.
  DialogDriver(std::wstring title, std::vector<DialogAnswer> answers,
               std::function<std::vector<std::string>()> readLog);
  ~DialogDriver();
  DialogDriver(const DialogDriver&) = delete;
  DialogDriver& operator=(const DialogDriver&) = delete;

  // Stops watching and returns every dialog seen, in order.
  std::vector<SeenDialog> Finish();

 private:
  void Run();

  std::wstring title_;
  std::vector<DialogAnswer> answers_;
  std::function<std::vector<std::string>()> readLog_;
  std::vector<SeenDialog> seen_;
  HANDLE stop_;
  std::thread thread_;
};

// True when some text of the dialog is exactly `text`.
bool ShowsText(const SeenDialog& dialog, const std::wstring& text);

}  // namespace velmora::test

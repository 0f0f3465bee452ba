#include "ui_dialog_driver.h"

#include <algorithm>

namespace velmora::test {
namespace {

struct Search {
  const std::wstring* title;
  HWND found = nullptr;
};

BOOL CALLBACK FindDialog(HWND window, LPARAM context) {
  auto& search = *reinterpret_cast<Search*>(context);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  wchar_t className[64] = {};
  wchar_t title[256] = {};
  GetClassNameW(window, className, 64);
  InternalGetWindowText(window, title, 256);
  if (process == GetCurrentProcessId() && IsWindowVisible(window) && std::wstring(className) == L"#32770" &&
      *search.title == title) {
    search.found = window;
    return FALSE;
  }
  return TRUE;
}

// Texts are read without sending messages: the thread that owns the windows may be waiting
// for this one to stop, and a sent WM_GETTEXT would then never be answered.
BOOL CALLBACK CollectText(HWND window, LPARAM context) {
  wchar_t text[1024] = {};
  InternalGetWindowText(window, text, 1024);
  if (text[0] != L'\0') reinterpret_cast<std::vector<std::wstring>*>(context)->emplace_back(text);
  return TRUE;
}

}  // namespace

DialogDriver::DialogDriver(std::wstring title, std::vector<DialogAnswer> answers,
                           std::function<std::vector<std::string>()> readLog)
    : title_(std::move(title)),
      answers_(std::move(answers)),
      readLog_(std::move(readLog)),
      stop_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      thread_([this] { Run(); }) {}

DialogDriver::~DialogDriver() {
  if (thread_.joinable()) Finish();
  CloseHandle(stop_);
}

std::vector<SeenDialog> DialogDriver::Finish() {
  SetEvent(stop_);
  thread_.join();
  return seen_;
}

void DialogDriver::Run() {
  std::size_t next = 0;
  // Polls until told to stop; each dialog is answered once and then waited out.
  while (WaitForSingleObject(stop_, 20) == WAIT_TIMEOUT) {
    Search search{&title_};
    EnumWindows(FindDialog, reinterpret_cast<LPARAM>(&search));
    if (search.found == nullptr) continue;
    SeenDialog dialog;
    dialog.owner = GetWindow(search.found, GW_OWNER);
    CollectText(search.found, reinterpret_cast<LPARAM>(&dialog.texts));
    EnumChildWindows(search.found, CollectText, reinterpret_cast<LPARAM>(&dialog.texts));
    if (readLog_) dialog.logWhenShown = readLog_();
    dialog.expected = next < answers_.size();
    if (dialog.expected) {
      const DialogAnswer& answer = answers_[next++];
      if (answer.beforeAnswer) answer.beforeAnswer();
      if (answer.closeInstead) {
        PostMessageW(search.found, WM_CLOSE, 0, 0);
      } else {
        PostMessageW(search.found, WM_COMMAND, MAKEWPARAM(answer.command, BN_CLICKED), 0);
      }
    } else {
      // Not in the script: any of these ends a prompt dialog or a message box, so the code
      // under test returns and the test can report what it saw.
      for (const int command : {101, IDNO, IDOK}) {
        PostMessageW(search.found, WM_COMMAND, MAKEWPARAM(command, BN_CLICKED), 0);
      }
    }
    seen_.push_back(std::move(dialog));
    for (int i = 0; i < 500 && IsWindow(search.found) && IsWindowVisible(search.found); ++i) Sleep(10);
  }
}

bool ShowsText(const SeenDialog& dialog, const std::wstring& text) {
  return std::find(dialog.texts.begin(), dialog.texts.end(), text) != dialog.texts.end();
}

}  // namespace velmora::test

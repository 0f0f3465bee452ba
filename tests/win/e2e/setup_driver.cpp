#include "setup_driver.h"

#include <memory>

#include "win_test_support.h"

namespace velmora::test {
namespace {

struct WindowSearch {
  DWORD processId;
  const wchar_t* className;
  const wchar_t* title;  // nullptr: any
  HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<WindowSearch*>(context);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != search->processId || !IsWindowVisible(window)) return TRUE;
  wchar_t className[64] = {};
  wchar_t title[256] = {};
  GetClassNameW(window, className, 64);
  GetWindowTextW(window, title, 256);
  if (wcscmp(className, search->className) == 0 &&
      (search->title == nullptr || wcscmp(title, search->title) == 0)) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK CollectStaticText(HWND child, LPARAM context) {
  wchar_t className[32] = {};
  GetClassNameW(child, className, 32);
  if (_wcsicmp(className, L"Static") != 0) return TRUE;
  wchar_t text[2048] = {};
  GetWindowTextW(child, text, 2048);
  auto* longest = reinterpret_cast<std::wstring*>(context);
  if (wcslen(text) > longest->size()) *longest = text;
  return TRUE;
}

BOOL CALLBACK CollectEveryText(HWND child, LPARAM context) {
  wchar_t text[2048] = {};
  GetWindowTextW(child, text, 2048);
  if (text[0] != L'\0') reinterpret_cast<std::vector<std::wstring>*>(context)->push_back(text);
  return TRUE;
}

std::wstring MessageBoxText(HWND box) {
  std::wstring text;
  EnumChildWindows(box, CollectStaticText, reinterpret_cast<LPARAM>(&text));
  return text;
}

std::wstring WindowTitle(HWND window) {
  wchar_t title[256] = {};
  GetWindowTextW(window, title, 256);
  return title;
}

LPARAM Point(int x, int y) { return MAKELPARAM(x, y); }

}  // namespace

std::wstring SetupProgramPath() { return TestBinaryFolder() + L"\\..\\VelmoraSetup.exe"; }

std::wstring SignedManifestSetupProgramPath() {
  return TestBinaryFolder() + L"\\..\\VelmoraSetupSignedManifest.exe";
}

HWND FindProcessWindow(DWORD processId, const wchar_t* className, const wchar_t* title) {
  WindowSearch search{processId, className, title, nullptr};
  EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

bool SaveScreenshot(const std::wstring& pngPath) {
  DeleteFileW(pngPath.c_str());
  const std::string unixPath = UnixPathOf(pngPath);
  if (unixPath.empty()) return false;
  const std::wstring program = L"Z:\\usr\\bin\\import";
  ScopedProcessInformation child;
  if (!StartChild({program, program + L" -window root \"" + Widen(unixPath) + L"\""}, child)) return false;
  child.Close();
  // A Unix child is not tracked to its end by Wine: wait for the finished file.
  for (int i = 0; i < 100; ++i) {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (GetFileAttributesExW(pngPath.c_str(), GetFileExInfoStandard, &data) && data.nFileSizeLow > 0) {
      Sleep(300);
      return true;
    }
    Sleep(100);
  }
  return false;
}

SetupRunResult RunSetupProgram(const SetupRunOptions& options) {
  SetupRunResult result;
  std::wstring command = L"\"" + (options.program.empty() ? SetupProgramPath() : options.program) + L"\"";
  if (!options.arguments.empty()) command += L" " + options.arguments;
  ScopedProcessInformation child;
  if (!StartChild({L"", command, L"", options.recordWindows ? static_cast<DWORD>(CREATE_SUSPENDED) : 0u},
                  child)) {
    return result;
  }
  // Watching before the program's first instruction, so that no window can come before it.
  std::unique_ptr<WindowRecorder> recorder;
  if (options.recordWindows) {
    recorder = std::make_unique<WindowRecorder>(child.ProcessId());
    ResumeThread(child.Thread());
  }
  const HANDLE process = child.Process();
  const DWORD started = GetTickCount();
  bool progressShot = options.screenshotPrefix.empty();
  bool finishHandled = false;
  HWND answeredBox = nullptr;
  while (GetTickCount() - started < options.timeoutMilliseconds) {
    if (WaitForSingleObject(process, 100) == WAIT_OBJECT_0) {
      result.exited = GetExitCodeProcess(process, &result.exitCode) != FALSE;
      result.milliseconds = GetTickCount() - started;
      break;
    }
    const HWND box = FindProcessWindow(child.ProcessId(), L"#32770", nullptr);
    if (box != nullptr && box != answeredBox) {
      Sleep(200);  // let the box finish laying out its text
      result.messageBoxes.push_back(MessageBoxText(box));
      result.messageBoxCaptions.push_back(WindowTitle(box));
      std::vector<std::wstring> texts;
      EnumChildWindows(box, CollectEveryText, reinterpret_cast<LPARAM>(&texts));
      result.dialogTexts.push_back(texts);
      if (!options.screenshotPrefix.empty()) {
        SaveScreenshot(options.screenshotPrefix + L"-box" + std::to_wstring(result.messageBoxes.size()) +
                       L".png");
      }
      // The WebView2 task dialog has its own buttons; every other box is answered with OK.
      const bool taskDialog = GetDlgItem(box, options.taskDialogButton) != nullptr;
      PostMessageW(box, WM_COMMAND, taskDialog ? options.taskDialogButton : IDOK, 0);
      answeredBox = box;
      continue;
    }
    const HWND window = FindProcessWindow(child.ProcessId(), L"VelmoraSetupWindow", L"Velmora Setup");
    if (window == nullptr) continue;
    RECT client = {};
    GetClientRect(window, &client);
    const bool finishScreen = client.right - client.left > 500;
    if (!progressShot && !finishScreen) {
      progressShot = SaveScreenshot(options.screenshotPrefix + L"-progress.png");
    }
    if (finishScreen && !finishHandled) {
      Sleep(300);  // the first paint of the finish screen
      result.finishScreenSeen = true;
      result.finishClientSize = {client.right, client.bottom};
      if (options.unselectLaunch) PostMessageW(window, WM_LBUTTONUP, 0, Point(40, 154));
      if (options.unselectShortcut) PostMessageW(window, WM_LBUTTONUP, 0, Point(40, 190));
      if (!options.screenshotPrefix.empty()) {
        Sleep(300);
        SaveScreenshot(options.screenshotPrefix + L"-finish.png");
      }
      if (options.pressFinish) PostMessageW(window, WM_KEYDOWN, VK_RETURN, 0);
      finishHandled = true;
    }
  }
  if (!result.exited) TerminateProcess(process, 99);
  WaitForSingleObject(process, 5000);
  if (recorder) result.windows = recorder->Finish();
  return result;
}

}  // namespace velmora::test

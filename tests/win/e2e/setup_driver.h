// Drives VelmoraSetup.exe as a person would: starts it, waits for what it shows, answers
// message boxes (reading their text), presses Finish, and collects its exit code and log.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "window_recorder.h"

namespace velmora::test {

struct SetupRunOptions {
  std::wstring arguments;         // appended to the quoted program path
  bool pressFinish = true;        // press Enter on the finish screen
  bool unselectLaunch = false;    // click the launch option off first
  bool unselectShortcut = false;  // click the shortcut option off first
  std::wstring screenshotPrefix;  // when set: <prefix>-progress.png, -finish.png and -boxN.png
  int taskDialogButton = 101;     // the button chosen in a task dialog ("Not now")
  DWORD timeoutMilliseconds = 120000;
  std::wstring program;        // the program to start; empty: SetupProgramPath()
  bool recordWindows = false;  // record every top-level window of the run (started suspended for it)
};

struct SetupRunResult {
  bool exited = false;
  DWORD exitCode = 0;
  bool finishScreenSeen = false;
  SIZE finishClientSize = {};
  std::vector<std::wstring> messageBoxes;  // each box's text, in order
  std::vector<std::wstring> messageBoxCaptions;
  std::vector<std::vector<std::wstring>> dialogTexts;  // every control's text, per box
  std::vector<SeenWindow> windows;                     // with recordWindows
  DWORD milliseconds = 0;                              // from start to exit
};

// The built program, beside the test binaries' folder.
std::wstring SetupProgramPath();
// The same program built with the signed-manifest test profile (two manifest signing keys).
std::wstring SignedManifestSetupProgramPath();

SetupRunResult RunSetupProgram(const SetupRunOptions& options);

// Window of the given class and title belonging to the process, or null.
HWND FindProcessWindow(DWORD processId, const wchar_t* className, const wchar_t* title);

// Saves a PNG of the whole virtual display (ImageMagick's import on the Linux side).
bool SaveScreenshot(const std::wstring& pngPath);

}  // namespace velmora::test

// Owns the desktop's shell window until told to quit, so that tests (and the demo) have a
// signed-in user's shell to take the token from. Arguments: the names of a "ready" and a "quit"
// event, made here when the caller has not made them (the demo, a script, cannot).
#include <windows.h>

extern "C" BOOL WINAPI SetShellWindow(HWND window);

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) return 2;
  const HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, argv[1]);
  const HANDLE quit = CreateEventW(nullptr, TRUE, FALSE, argv[2]);
  if (ready == nullptr || quit == nullptr) return 3;
  const HWND window = CreateWindowExW(0, L"STATIC", L"Velmora test shell", WS_POPUP, 0, 0, 1, 1, nullptr,
                                      nullptr, nullptr, nullptr);
  if (window == nullptr || !SetShellWindow(window)) return 4;
  SetEvent(ready);
  // Messages are pumped so that other processes' calls on the window are answered.
  while (MsgWaitForMultipleObjects(1, &quit, FALSE, INFINITE, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
  }
  DestroyWindow(window);
  CloseHandle(ready);
  CloseHandle(quit);
  return 0;
}

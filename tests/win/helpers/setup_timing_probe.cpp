// Times VelmoraSetup.exe for the benchmark: from process start to its first painted window
// ("paint"), to its finish screen ("finish"), or to its final report ("report": the finish
// screen, or the window closed by a failed run, before its message box). Prints
// milliseconds, then ends the program.
// Usage: win_setup_timing_probe.exe paint|finish|report PATH\VelmoraSetup.exe
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

struct Search {
  DWORD processId;
  HWND found;
};

BOOL CALLBACK Match(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<Search*>(context);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  if (owner == search->processId && wcscmp(name, L"VelmoraSetupWindow") == 0) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

bool Reached(const std::wstring& mode, HWND window) {
  if (window == nullptr || !IsWindowVisible(window)) return false;
  RECT client = {};
  GetClientRect(window, &client);
  if (mode == L"finish") return client.right > 500;
  return GetUpdateRect(window, nullptr, FALSE) == FALSE;  // nothing left to paint
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) return 2;
  const std::wstring mode = argv[1];
  std::wstring command = L"\"" + std::wstring(argv[2]) + L"\"";
  LARGE_INTEGER frequency, start, now;
  QueryPerformanceFrequency(&frequency);
  STARTUPINFOW startup = {sizeof startup};
  PROCESS_INFORMATION process = {};
  QueryPerformanceCounter(&start);
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    return 3;
  }
  double elapsed = -1;
  bool seen = false;
  const ULONGLONG deadline = GetTickCount64() + 900000;
  while (GetTickCount64() < deadline && WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT) {
    Search search{process.dwProcessId, nullptr};
    EnumWindows(Match, reinterpret_cast<LPARAM>(&search));
    const bool closed = mode == L"report" && seen && search.found == nullptr;
    seen = seen || search.found != nullptr;
    if (closed || Reached(mode == L"report" ? L"finish" : mode, search.found)) {
      QueryPerformanceCounter(&now);
      elapsed = 1000.0 * static_cast<double>(now.QuadPart - start.QuadPart) / frequency.QuadPart;
      break;
    }
    Sleep(1);
  }
  TerminateProcess(process.hProcess, 0);
  WaitForSingleObject(process.hProcess, 5000);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  std::printf("%.1f\n", elapsed);
  return elapsed < 0 ? 1 : 0;
}

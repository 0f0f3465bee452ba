// COM and GDI+ for the UI thread: both are started once and kept for the process's life.
#pragma once

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <functional>

namespace velmora {

// The two start calls; the defaults are the system's own. A test replaces one to make it fail.
struct StartupCalls {
  std::function<HRESULT()> startCom = [] { return CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); };
  std::function<Gdiplus::Status(ULONG_PTR*)> startGdiplus = [](ULONG_PTR* token) {
    const Gdiplus::GdiplusStartupInput input;
    return Gdiplus::GdiplusStartup(token, &input, nullptr);
  };
};

// Starts COM in a single-threaded apartment, then GDI+. False, with a log line naming the
// failed start and its code, when either fails: without them the window would stay blank.
[[nodiscard]] bool StartComAndGdiplus(const StartupCalls& calls = {});

// COM alone, for a run that draws nothing (the shortcut still needs it).
[[nodiscard]] bool StartCom(const StartupCalls& calls = {});

}  // namespace velmora

#include "app/win/startup.h"

#include "base/bootstrap_log.h"

namespace velmora {

bool StartCom(const StartupCalls& calls) {
  const HRESULT com = calls.startCom();
  if (FAILED(com)) {
    LogMessage("COM could not start (0x%08lX).", static_cast<unsigned long>(com));
    return false;
  }
  return true;
}

bool StartComAndGdiplus(const StartupCalls& calls) {
  if (!StartCom(calls)) return false;
  ULONG_PTR token = 0;
  const Gdiplus::Status gdiplus = calls.startGdiplus(&token);
  if (gdiplus != Gdiplus::Ok) {
    LogMessage("GDI+ could not start (status %d).", static_cast<int>(gdiplus));
    return false;
  }
  return true;
}

}  // namespace velmora

#include "base/win/notice.h"

#include <windows.h>

#include "base/bootstrap_log.h"
#include "base/run_mode.h"

namespace velmora {
namespace {

UINT IconStyle(NoticeIcon icon) {
  switch (icon) {
    case NoticeIcon::Warning:
      return MB_ICONWARNING;
    case NoticeIcon::Information:
      return MB_ICONINFORMATION;
    case NoticeIcon::Error:
      break;
  }
  return MB_ICONERROR;
}

}  // namespace

void TellUser(const Notice& notice) {
  if (IsUnattended()) {
    LogMessage("%ls", NoticeLogText(notice.text).c_str());
    return;
  }
  MessageBoxW(static_cast<HWND>(notice.owner), notice.text.c_str(), notice.caption.c_str(),
              IconStyle(notice.icon));
}

}  // namespace velmora

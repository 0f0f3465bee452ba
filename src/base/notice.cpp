#include "base/notice.h"

namespace velmora {

std::wstring NoticeLogText(const std::wstring& text) {
  std::wstring line;
  bool inBreak = false;
  for (const wchar_t unit : text) {
    if (unit == L'\n' || unit == L'\r') {
      inBreak = true;
      continue;
    }
    if (inBreak && !line.empty()) line += L' ';
    inBreak = false;
    line += unit;
  }
  return line;
}

}  // namespace velmora

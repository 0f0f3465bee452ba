#include "base/user_texts.h"

namespace velmora {

std::wstring FillIn(const wchar_t* text, const std::wstring& value) {
  std::wstring filled = text;
  const std::size_t at = filled.find(L"%ls");
  if (at != std::wstring::npos) filled.replace(at, 3, value);
  return filled;
}

}  // namespace velmora

#include "base/user_texts.h"

namespace velmora {

std::wstring FillIn(const wchar_t* text, std::initializer_list<std::wstring> values) {
  std::wstring filled = text;
  std::size_t from = 0;
  for (const std::wstring& value : values) {
    const std::size_t at = filled.find(L"%ls", from);
    if (at == std::wstring::npos) break;
    filled.replace(at, 3, value);
    from = at + value.size();  // a value's own "%ls" is not a placeholder
  }
  return filled;
}

}  // namespace velmora

#include "net/text_encoding.h"

namespace velmora {

std::wstring WidenAscii(const std::string& narrow) {
  std::wstring wide;
  wide.reserve(narrow.size());
  for (char c : narrow) {
    wide.push_back(static_cast<wchar_t>(static_cast<std::uint16_t>(static_cast<signed char>(c))));
  }
  return wide;
}

std::string HexEncodeLower(const std::uint8_t* bytes, std::size_t count) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(count * 2);
  for (std::size_t i = 0; i < count; ++i) {
    hex.push_back(kDigits[bytes[i] >> 4]);
    hex.push_back(kDigits[bytes[i] & 0x0F]);
  }
  return hex;
}

}  // namespace velmora

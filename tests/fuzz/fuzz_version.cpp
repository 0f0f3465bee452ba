// Version parsing and digest normalisation on arbitrary text: parts stay in range, the order is
// a strict one (never both ways), and normalising never grows the text.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "product/version.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::size_t half = size / 2;
  std::wstring a, b;
  for (std::size_t i = 0; i < half; ++i) a.push_back(static_cast<wchar_t>(data[i]));
  for (std::size_t i = half; i < size; ++i) b.push_back(static_cast<wchar_t>(data[i]));
  for (std::int32_t part : velmora::ParseVersion(a)) {
    if (part < 0) std::abort();
  }
  if (velmora::IsNewerVersion(a, b) && velmora::IsNewerVersion(b, a)) std::abort();
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::string normalised = velmora::NormalizeSha256Text(text);
  if (normalised.size() > text.size()) std::abort();
  return 0;
}

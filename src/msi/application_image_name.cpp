#include "msi/application_image_name.h"

namespace velmora {
namespace {

constexpr std::wstring_view kApplicationImage = L"Velmora.exe";

// Only A-Z fold: a locale's own case rules must not make some other name match.
wchar_t FoldAscii(wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

}  // namespace

bool IsApplicationImageName(std::wstring_view fileName) {
  if (fileName.size() != kApplicationImage.size()) return false;
  for (std::size_t i = 0; i < fileName.size(); ++i) {
    if (FoldAscii(fileName[i]) != FoldAscii(kApplicationImage[i])) return false;
  }
  return true;
}

bool IsApplicationImagePath(std::wstring_view imagePath) {
  const std::size_t separator = imagePath.find_last_of(L'\\');
  return IsApplicationImageName(separator == std::wstring_view::npos ? imagePath
                                                                      : imagePath.substr(separator + 1));
}

}  // namespace velmora

#include "msi/application_image_name.h"

#include "base/ascii.h"

namespace velmora {
namespace {

constexpr std::wstring_view kApplicationImage = L"Velmora.exe";

}  // namespace

bool IsApplicationImageName(std::wstring_view fileName) {
  if (fileName.size() != kApplicationImage.size()) return false;
  for (std::size_t i = 0; i < fileName.size(); ++i) {
    if (LowerAscii(fileName[i]) != LowerAscii(kApplicationImage[i])) return false;
  }
  return true;
}

bool IsApplicationImagePath(std::wstring_view imagePath) {
  const std::size_t separator = imagePath.find_last_of(L'\\');
  return IsApplicationImageName(separator == std::wstring_view::npos ? imagePath
                                                                     : imagePath.substr(separator + 1));
}

}  // namespace velmora

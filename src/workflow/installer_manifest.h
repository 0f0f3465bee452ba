// The installer manifest: a small JSON document read by text search for four values, its
// validity rule, and the built-in record that stands in when no valid manifest is had.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/ascii.h"

namespace velmora {

struct InstallerManifest {
  std::string productVersion;
  std::string packageUrl;
  std::string packageSha256;
  std::uint64_t exeSize = 0;
  bool fromFallback = false;
};

constexpr std::size_t kManifestMaxBytes = 65536;
// The one key name that is not the profile's: plain, the same for every vendor.
constexpr char kManifestExeSizeKey[] = "exeSize";

std::string ReadJsonString(const std::string& text, const std::string& key);
std::uint64_t ReadJsonUnsigned(const std::string& text, const std::string& key);
[[nodiscard]] InstallerManifest ParseManifest(const std::string& text);
// Ends in ".msi", letter case and any query ignored. constexpr so that the vendor profile's
// built-in package URL is held to it while the profile compiles.
[[nodiscard]] constexpr bool IsMsiUrl(std::string_view url) {
  std::string lower;
  for (char c : url.substr(0, url.find('?'))) {
    lower.push_back(LowerAscii(c));
  }
  return lower.size() >= 4 && lower.compare(lower.size() - 4, 4, ".msi") == 0;
}
[[nodiscard]] bool IsValidManifest(const InstallerManifest& manifest);
const InstallerManifest& BuiltInManifest();

}  // namespace velmora

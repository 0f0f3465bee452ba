#include "workflow/installer_manifest.h"

#include "profile/vendor_profile.h"
#include "product/version.h"

namespace velmora {
namespace {

std::size_t SkipWhitespace(const std::string& text, std::size_t position) {
  while (position < text.size() && IsJsonWhitespace(text[position])) ++position;
  return position;
}

// Position just after the first colon that follows the quoted key at or after from, or npos.
std::size_t FindValueAfterKey(const std::string& text, const std::string& needle, std::size_t from,
                              std::size_t& keyEnd) {
  const std::size_t key = text.find(needle, from);
  if (key == std::string::npos) return std::string::npos;
  keyEnd = key + needle.size();
  const std::size_t colon = text.find(':', keyEnd);
  return colon == std::string::npos ? std::string::npos : colon + 1;
}

char Unescaped(char c) {
  switch (c) {
    case 'n':
      return '\n';
    case 'r':
      return '\r';
    case 't':
      return '\t';
    default:
      return c;
  }
}

}  // namespace

std::string ReadJsonString(const std::string& text, const std::string& key) {
  if (key.empty()) return {};
  const std::string needle = "\"" + key + "\"";
  std::size_t search = 0;
  while (true) {
    std::size_t keyEnd = 0;
    const std::size_t afterColon = FindValueAfterKey(text, needle, search, keyEnd);
    if (afterColon == std::string::npos) return {};
    search = afterColon;
    const std::size_t value = SkipWhitespace(text, afterColon);
    if (value == text.size()) return {};
    if (text[value] != '"') continue;
    std::string result;
    bool escaped = false;
    for (std::size_t i = value + 1; i < text.size(); ++i) {
      const char c = text[i];
      if (escaped) {
        result.push_back(Unescaped(c));
        escaped = false;
      } else if (c == '\\') {
        escaped = true;
      } else if (c == '"') {
        return result;
      } else {
        result.push_back(c);
      }
    }
    return {};
  }
}

std::uint64_t ReadJsonUnsigned(const std::string& text, const std::string& key) {
  if (key.empty()) return 0;
  std::size_t keyEnd = 0;
  const std::size_t afterColon = FindValueAfterKey(text, "\"" + key + "\"", 0, keyEnd);
  if (afterColon == std::string::npos) return 0;
  std::uint64_t value = 0;
  for (std::size_t i = SkipWhitespace(text, afterColon); i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') break;
    value = value * 10 + static_cast<std::uint64_t>(text[i] - '0');
  }
  return value;
}

InstallerManifest ParseManifest(const std::string& text) {
  InstallerManifest manifest;
  manifest.productVersion = ReadJsonString(text, ManifestVersionKey());
  manifest.packageUrl = ReadJsonString(text, ManifestPackageUrlKey());
  manifest.packageSha256 = NormalizeSha256Text(ReadJsonString(text, ManifestPackageSha256Key()));
  manifest.exeSize = ReadJsonUnsigned(text, kManifestExeSizeKey);
  manifest.fromFallback = false;
  return manifest;
}

bool IsValidManifest(const InstallerManifest& manifest) {
  if (manifest.productVersion.empty()) return false;
  if (!IsMsiUrl(manifest.packageUrl)) return false;
  if (manifest.packageUrl.compare(0, 8, "https://") != 0) return false;
  if (manifest.packageSha256.size() != 64) return false;
  for (char c : manifest.packageSha256) {
    if (!IsLowerHexDigit(c)) return false;
  }
  return true;
}

const InstallerManifest& BuiltInManifest() {
  static const InstallerManifest manifest{BuiltInVersion(), BuiltInPackageUrl(), BuiltInPackageSha256(),
                                          BuiltInExeSize(), true};
  return manifest;
}

}  // namespace velmora

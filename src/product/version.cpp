#include "product/version.h"

#include <algorithm>

#include "base/ascii.h"

namespace velmora {

std::vector<std::int32_t> ParseVersion(const std::wstring& text) {
  try {
    return ParseVersionParts(std::wstring_view(text));
  } catch (...) {
    return {};
  }
}

bool IsNewerVersion(const std::wstring& candidate, const std::wstring& reference) {
  if (candidate.empty()) return false;
  if (reference.empty()) return true;
  const std::vector<std::int32_t> a = ParseVersion(candidate);
  const std::vector<std::int32_t> b = ParseVersion(reference);
  if (a.empty() || b.empty()) return false;
  const std::size_t count = std::max(a.size(), b.size());
  for (std::size_t i = 0; i < count; ++i) {
    const std::int32_t x = i < a.size() ? a[i] : 0;
    const std::int32_t y = i < b.size() ? b[i] : 0;
    if (x != y) return x > y;
  }
  return false;
}

std::string NormalizeSha256Text(std::string text) {
  std::size_t begin = 0;
  while (begin < text.size() && IsJsonWhitespace(text[begin])) ++begin;
  std::size_t end = text.size();
  while (end > begin && IsJsonWhitespace(text[end - 1])) --end;
  text = text.substr(begin, end - begin);
  static const char kPrefix[] = "sha256:";
  if (text.size() >= 8) {
    bool prefixed = true;
    for (std::size_t i = 0; i < 7 && prefixed; ++i) {
      prefixed = LowerAscii(text[i]) == kPrefix[i];
    }
    if (prefixed) text.erase(0, 7);
  }
  for (char& c : text) c = LowerHexLetter(c);
  return text;
}

InstalledBuildClassification ClassifyInstalledBuild(const std::wstring& installedVersion,
                                                    const std::wstring& installedProductCode,
                                                    const std::wstring& offeredVersion,
                                                    bool installedExeMatches) {
  const bool installedValid = !installedVersion.empty() && !ParseVersion(installedVersion).empty();
  const bool installedNewer = installedValid && IsNewerVersion(installedVersion, offeredVersion);
  const bool sameVersion =
      installedValid && !installedNewer && !IsNewerVersion(offeredVersion, installedVersion);
  const bool cleanFirst = !installedValid && !installedProductCode.empty();

  if (installedNewer) return {InstalledBuildVerdict::Current, false};
  if (sameVersion && installedExeMatches) return {InstalledBuildVerdict::Current, false};
  if (cleanFirst) return {InstalledBuildVerdict::CleanReinstall, true};
  if (!installedVersion.empty() && sameVersion) return {InstalledBuildVerdict::SameVersionReinstall, true};
  if (!installedVersion.empty()) return {InstalledBuildVerdict::Update, false};
  return {InstalledBuildVerdict::FreshInstall, false};
}

}  // namespace velmora

// Version texts, digests and the verdict on the installed build: pure decisions.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace velmora {

// The numeric parts of a dotted version text; empty when the text is not a version.
std::vector<std::int32_t> ParseVersion(const std::wstring& text);

// True when candidate is strictly newer than reference; missing parts count as 0.
bool IsNewerVersion(const std::wstring& candidate, const std::wstring& reference);

// Trims whitespace, drops one "sha256:" prefix and lower-cases A-F; does not validate.
std::string NormalizeSha256Text(std::string text);

enum class InstalledBuildVerdict { Current, CleanReinstall, SameVersionReinstall, Update, FreshInstall };

struct InstalledBuildClassification {
  InstalledBuildVerdict verdict = InstalledBuildVerdict::FreshInstall;
  bool removeFirst = false;
};

InstalledBuildClassification ClassifyInstalledBuild(const std::wstring& installedVersion,
                                                    const std::wstring& installedProductCode,
                                                    const std::wstring& offeredVersion,
                                                    bool installedExeMatches);

}  // namespace velmora

// Version texts, digests and the verdict on the installed build: pure decisions.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// The numeric parts of a dotted version text; empty when the text is not a version. Each part
// is read from its first digit; a part without one, an empty part or a value above 2^31 - 1
// makes the whole text no version. constexpr so that the vendor profile's built-in version is
// held to the same rule while the profile compiles.
template <typename Char>
constexpr std::vector<std::int32_t> ParseVersionParts(std::basic_string_view<Char> text) {
  const auto isDigit = [](Char c) { return c >= Char('0') && c <= Char('9'); };
  std::vector<std::int32_t> parts;
  std::size_t position = 0;
  while (true) {
    const std::size_t dot = position < text.size() ? text.find(Char('.'), position) : text.npos;
    const std::size_t end = dot == text.npos ? text.size() : dot;
    if (end <= position) return {};
    std::size_t digit = position;
    while (digit < end && !isDigit(text[digit])) ++digit;
    if (digit == end) return {};
    std::int64_t value = 0;
    for (std::size_t i = digit; i < end && isDigit(text[i]); ++i) {
      value = value * 10 + (text[i] - Char('0'));
      if (value > 2147483647) return {};
    }
    parts.push_back(static_cast<std::int32_t>(value));
    if (dot == text.npos) return parts;
    position = dot + 1;
  }
}

// ParseVersionParts, with any failure of its own (out of memory) read as no version.
std::vector<std::int32_t> ParseVersion(const std::wstring& text);

// True when candidate is strictly newer than reference; missing parts count as 0.
[[nodiscard]] bool IsNewerVersion(const std::wstring& candidate, const std::wstring& reference);

// Trims whitespace, drops one "sha256:" prefix and lower-cases A-F; does not validate.
std::string NormalizeSha256Text(std::string text);

enum class InstalledBuildVerdict { Current, CleanReinstall, SameVersionReinstall, Update, FreshInstall };

struct InstalledBuildClassification {
  InstalledBuildVerdict verdict = InstalledBuildVerdict::FreshInstall;
  bool removeFirst = false;
};

[[nodiscard]] InstalledBuildClassification ClassifyInstalledBuild(const std::wstring& installedVersion,
                                                                  const std::wstring& installedProductCode,
                                                                  const std::wstring& offeredVersion,
                                                                  bool installedExeMatches);

}  // namespace velmora

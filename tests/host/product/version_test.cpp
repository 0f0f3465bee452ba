#include "product/version.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

using Parts = std::vector<std::int32_t>;

TEST(ParseVersion, ReadsNumbersOfEveryPart) {
  const std::vector<std::pair<std::wstring, Parts>> cases = {
      {L"1.2.3", {1, 2, 3}},
      {L"V1.2-beta3", {1, 2}},
      {L" 1 . 2 ", {1, 2}},
      {L"rc2", {2}},
      {L"007.010", {7, 10}},
      {L"1.2147483647", {1, 2147483647}},
      {L"0000000000001", {1}},
      {L"", {}},
      {L"1..2", {}},
      {L".1", {}},
      {L"1.2.", {}},
      {L"1.x", {}},
      {L"1.2147483648", {}},
      {L"99999999999999999999", {}},
      {L".", {}},
  };
  for (const auto& [text, parts] : cases) EXPECT_EQ(ParseVersion(text), parts) << text.size();
}

TEST(IsNewerVersion, ComparesPartByPartWithMissingPartsAsZero) {
  struct Case {
    std::wstring candidate, reference;
    bool newer;
  };
  const std::vector<Case> cases = {
      {L"1.2.1", L"1.2", true}, {L"1.2", L"1.2.0", false}, {L"1.2.0", L"1.2", false},
      {L"1.10", L"1.9", true},  {L"1.9", L"1.10", false},  {L"", L"1.0", false},
      {L"", L"", false},        {L"abc", L"", true},       {L"abc", L"1.0", false},
      {L"1.0", L"abc", false},  {L"2", L"1.99.99", true},  {L"1.1.8", L"1.1.7", true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsNewerVersion(c.candidate, c.reference), c.newer)
        << std::string(c.candidate.begin(), c.candidate.end()) << " vs "
        << std::string(c.reference.begin(), c.reference.end());
  }
}

TEST(NormalizeSha256Text, TrimsDropsPrefixOnceAndLowersHexLetters) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"  SHA256:ABCDEF\r\n", "abcdef"},
      {"sha256:", "sha256:"},
      {"sha256: ab", " ab"},
      {"\tABCDEFGHIJ\n", "abcdefGHIJ"},
      {"sHa256:sha256:ab", "sha256:ab"},
      {"", ""},
      {" \t\r\n", ""},
  };
  for (const auto& [given, normalised] : cases) EXPECT_EQ(NormalizeSha256Text(given), normalised) << given;
}

TEST(ClassifyInstalledBuild, FirstMatchingRowDecides) {
  using V = InstalledBuildVerdict;
  struct Case {
    std::wstring installed, productCode, offered;
    bool exeMatches;
    V verdict;
    bool removeFirst;
  };
  const std::wstring code = L"{11111111-2222-3333-4444-555555555555}";
  const std::vector<Case> cases = {
      {L"1.1.7", L"", L"1.1.7", true, V::Current, false},
      {L"1.1.7", code, L"1.1.7", false, V::SameVersionReinstall, true},
      {L"1.1.8", code, L"1.1.7", false, V::Current, false},
      {L"1.1.8", code, L"1.1.7", true, V::Current, false},
      {L"", code, L"1.1.7", true, V::CleanReinstall, true},
      {L"garbage", code, L"1.1.7", true, V::CleanReinstall, true},
      {L"garbage", L"", L"1.1.7", true, V::Update, false},
      {L"1.0.0", code, L"1.1.7", true, V::Update, false},
      {L"1.0.0", code, L"1.1.7", false, V::Update, false},
      {L"", L"", L"1.1.7", false, V::FreshInstall, false},
      // An offered text that is not a version makes a valid installed version "the same".
      {L"1.0.0", code, L"latest", true, V::Current, false},
      {L"1.0.0", code, L"latest", false, V::SameVersionReinstall, true},
  };
  for (const Case& c : cases) {
    const InstalledBuildClassification result =
        ClassifyInstalledBuild(c.installed, c.productCode, c.offered, c.exeMatches);
    EXPECT_EQ(result.verdict, c.verdict) << std::string(c.installed.begin(), c.installed.end());
    EXPECT_EQ(result.removeFirst, c.removeFirst) << std::string(c.installed.begin(), c.installed.end());
  }
}

}  // namespace
}  // namespace velmora

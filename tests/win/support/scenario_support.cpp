#include "scenario_support.h"

#include <filesystem>
#include <regex>
#include <sstream>

#include "profile/vendor_profile.h"
#include "win_test_support.h"

namespace velmora::test {

void ExpectOnlyMsiexecLogsLeft(const NewRunFolders& runFolders, const std::wstring& userTemp) {
  EXPECT_TRUE(std::filesystem::is_empty(userTemp));
  for (const std::wstring& name : runFolders.FileNames()) {
    EXPECT_TRUE(name.rfind(L"Velmora-MSI-", 0) == 0 || name.rfind(L"Velmora-Uninstall-", 0) == 0)
        << Narrow(name);
  }
}

SamplePackageFile SamplePackageOf(const std::string& version) {
  const std::wstring folder = TestBinaryFolder() + L"\\..\\packages";
  const std::string name = "Velmora-Setup-" + version + "-x64.msi";
  SamplePackageFile package{folder + L"\\" + Widen(name), ""};
  std::istringstream listing(ReadWholeFile(folder + L"\\packages.txt"));
  std::string line;
  std::smatch match;
  while (std::getline(listing, line)) {
    if (std::regex_search(line, match, std::regex(R"(^(\S+) size=\d+ sha256=([0-9a-f]{64}))")) &&
        match[1] == name) {
      package.sha256 = match[2];
    }
  }
  return package;
}

std::string ManifestText(const std::string& version, const std::string& url, const std::string& digest,
                         std::uint64_t exeSize) {
  return "{\n  \"" + ManifestVersionKey() + "\": \"" + version + "\",\n  \"" + ManifestPackageUrlKey() +
         "\": \"" + url + "\",\n  \"" + ManifestPackageSha256Key() + "\": \"" + digest +
         "\",\n  \"exeSize\": " + std::to_string(exeSize) + "\n}\n";
}

::testing::AssertionResult InOrder(const std::vector<std::string>& lines,
                                   const std::vector<std::string>& expected) {
  auto at = lines.begin();
  for (const std::string& want : expected) {
    at = std::find_if(at, lines.end(), [&](const std::string& line) { return line.rfind(want, 0) == 0; });
    if (at == lines.end()) {
      std::string all;
      for (const std::string& line : lines) all += "\n  " + line;
      return ::testing::AssertionFailure() << "missing in order: " << want << "\nlog:" << all;
    }
    ++at;
  }
  return ::testing::AssertionSuccess();
}

}  // namespace velmora::test

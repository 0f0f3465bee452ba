#include "net/win/file_integrity.h"

#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "net_test_support.h"
#include "win_test_support.h"

namespace velmora {
namespace {

const std::string kSignature = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";

// sha256sum's digest of each file, in order.
std::vector<std::string> Sha256sum(const std::vector<std::wstring>& paths) {
  std::string command = "sha256sum";
  for (const std::wstring& path : paths) command += " " + test::ShellQuote(test::UnixPathOf(path));
  test::UnixRun run;
  EXPECT_TRUE(test::RunUnixScript(command, run) && run.exitStatus == 0) << run.errors;
  std::vector<std::string> digests;
  std::istringstream lines(run.output);
  for (std::string line; std::getline(lines, line);) digests.push_back(line.substr(0, 64));
  return digests;
}

TEST(ComputeFileSha256Hex, AgreesWithSha256sumAroundTheReadSize) {
  const test::TempFolder folder;
  const std::vector<std::size_t> sizes = {0, 1, 65535, 65536, 65537, 4 * 65536, 4 * 65536 + 17};
  std::vector<std::wstring> paths;
  for (std::size_t i = 0; i < sizes.size(); ++i) {
    paths.push_back(folder / (L"f" + std::to_wstring(i) + L".bin"));
    test::WriteWholeFile(paths.back(), test::PatternedBytes(sizes[i], static_cast<std::uint32_t>(i)));
  }
  const std::vector<std::string> expected = Sha256sum(paths);
  ASSERT_EQ(expected.size(), sizes.size());
  for (std::size_t i = 0; i < sizes.size(); ++i) {
    SCOPED_TRACE(sizes[i]);
    std::string hex;
    ASSERT_TRUE(ComputeFileSha256Hex(paths[i], &hex));
    EXPECT_TRUE(std::regex_match(hex, std::regex("[0-9a-f]{64}"))) << hex;
    EXPECT_EQ(hex, expected[i]);
  }
}

TEST(ComputeFileSha256Hex, FileOfSeveralHundredMiBAgreesWithSha256sum) {
  const test::TempFolder folder;
  const std::wstring path = folder / L"large.msi";
  {
    // 384 MiB and 5 bytes, from 1 MiB blocks that differ from each other.
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    const std::string block = test::PatternedBytes((1 << 20) + 1, 7);
    bool written = true;
    for (std::size_t i = 0; i < 384 && written; ++i) {
      DWORD n = 0;
      written = WriteFile(file, block.data() + (i % 2), 1 << 20, &n, nullptr) && n == (1u << 20);
    }
    DWORD n = 0;
    written = written && WriteFile(file, "tail!", 5, &n, nullptr) && n == 5;
    CloseHandle(file);
    ASSERT_TRUE(written);
  }
  std::string hex;
  ASSERT_TRUE(ComputeFileSha256Hex(path, &hex));
  EXPECT_EQ(hex, Sha256sum({path}).at(0));
}

// Another program may hold the package open for writing while it is checked.
TEST(FileIntegrity, BothChecksReadAFileAnotherHandleHasOpenForWriting) {
  const test::TempFolder folder;
  const std::wstring path = folder / L"open.msi";
  test::WriteWholeFile(path, kSignature + "abc");
  const std::string expected = Sha256sum({path}).at(0);
  const HANDLE writer =
      CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  std::string hex;
  EXPECT_TRUE(ComputeFileSha256Hex(path, &hex));
  EXPECT_EQ(hex, expected);
  EXPECT_TRUE(IsMsiPackage(path));
  CloseHandle(writer);
}

TEST(ComputeFileSha256Hex, FailsWithoutFileOrOutputAndLeavesTheOutputAlone) {
  const test::TempFolder folder;
  const std::wstring path = folder / L"x.msi";
  test::WriteWholeFile(path, "abc");
  std::string hex = "unchanged";
  EXPECT_FALSE(ComputeFileSha256Hex(folder / L"missing.msi", &hex));
  EXPECT_EQ(hex, "unchanged");
  EXPECT_FALSE(ComputeFileSha256Hex(path, nullptr));
}

struct SignatureCase {
  const char* name;
  std::string bytes;
  const wchar_t* fileName;
  bool msi;
};

TEST(IsMsiPackage, SignatureCountsOnlyWholeAndAtOffsetZero) {
  const test::TempFolder folder;
  const std::vector<SignatureCase> cases = {
      {"empty", "", L"a.msi", false},
      {"seven signature bytes", kSignature.substr(0, 7), L"b.msi", false},
      {"the signature alone", kSignature, L"c.msi", true},
      {"signature, then anything, any name", kSignature + "not really a package", L"d.txt", true},
      {"signature at offset 1", std::string(1, '\0') + kSignature + "rest", L"e.msi", false},
      {"last signature byte differs", kSignature.substr(0, 7) + "\xE0" + "rest", L"f.msi", false},
      {"first signature byte differs", "\xD1" + kSignature.substr(1), L"g.msi", false},
  };
  for (const SignatureCase& c : cases) {
    SCOPED_TRACE(c.name);
    test::WriteWholeFile(folder / c.fileName, c.bytes);
    EXPECT_EQ(IsMsiPackage(folder / c.fileName), c.msi);
  }
  EXPECT_FALSE(IsMsiPackage(folder / L"missing.msi"));
}

TEST(IsMsiPackage, BuiltPackagesPassAndAProgramDoesNot) {
  const std::wstring packages = test::DosPathOf(std::string(VELMORA_BINARY_DIR) + "/packages");
  for (const wchar_t* version : {L"1.0.0", L"1.1.7", L"1.1.8"}) {
    const std::wstring package = packages + L"\\Velmora-Setup-" + version + L"-x64.msi";
    ASSERT_TRUE(test::PathExists(package)) << test::Narrow(package);
    EXPECT_TRUE(IsMsiPackage(package)) << test::Narrow(package);
  }
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  EXPECT_FALSE(IsMsiPackage(self));
}

}  // namespace
}  // namespace velmora

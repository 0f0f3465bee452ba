// Reading a downloaded manifest from its file, on Wine's file system.
#include "workflow/win/manifest_file.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "base/win/scoped_handle.h"
#include "win_test_support.h"

namespace velmora {
namespace {

TEST(ReadManifestFile, ReadsBytesUnchangedAndFailsWhenMissing) {
  test::TempFolder dir;
  const std::wstring file = dir / L"m.json";
  const std::string bytes("{\r\n\"a\":\"\xFF\0x\"}", 13);
  test::WriteWholeFile(file, bytes);
  std::string text;
  ASSERT_TRUE(ReadManifestFile(file, text));
  EXPECT_EQ(text, bytes);
  test::WriteWholeFile(file, "");
  ASSERT_TRUE(ReadManifestFile(file, text));
  EXPECT_TRUE(text.empty());
  DeleteFileW(file.c_str());
  EXPECT_FALSE(ReadManifestFile(file, text));
}

// Opened shared: another opener holding the file for writing does not stop the read.
TEST(ReadManifestFile, ReadsAFileAnotherOpenerHoldsForWriting) {
  test::TempFolder dir;
  const std::wstring file = dir / L"m.json";
  test::WriteWholeFile(file, "{\"a\":\"b\"}");
  const ScopedHandle writer(CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(writer);
  std::string text;
  EXPECT_TRUE(ReadManifestFile(file, text));
  EXPECT_EQ(text, "{\"a\":\"b\"}");
}

}  // namespace
}  // namespace velmora

#include "product/win/product_record.h"

#include <gtest/gtest.h>

#include "win_test_support.h"

namespace velmora {
namespace {

using test::ScopedEnvironmentVariable;
using test::ScopedInstallerKey;
using test::TempFolder;

TEST(ReadInstallerValue, AcceptsStringTypesOnlyAndTakesTextUpToFirstNul) {
  ScopedInstallerKey key;
  key.SetString(L"Plain", L"1.1.7");
  key.SetString(L"Expand", L"%ProgramFiles%\\Velmora", REG_EXPAND_SZ);
  key.SetString(L"Empty", L"");
  const DWORD number = 42;
  key.SetRaw(L"Number", REG_DWORD, &number, sizeof number);
  const wchar_t leadingNul[] = L"\0hidden";
  key.SetRaw(L"LeadingNul", REG_SZ, leadingNul, sizeof leadingNul);
  const wchar_t embedded[] = L"ab\0cd";
  key.SetRaw(L"Embedded", REG_SZ, embedded, sizeof embedded);
  const wchar_t unterminated[] = {L'x', L'y', L'z'};
  key.SetRaw(L"Unterminated", REG_SZ, unterminated, sizeof unterminated);
  key.SetRaw(L"Multi", REG_MULTI_SZ, L"a\0b\0", 10);

  struct Case {
    const wchar_t* name;
    bool read;
    std::wstring text;
  };
  const std::vector<Case> cases = {
      {L"Plain", true, L"1.1.7"},      {L"Expand", true, L"%ProgramFiles%\\Velmora"},
      {L"Empty", false, L""},          {L"Number", false, L""},
      {L"LeadingNul", true, L""},      {L"Embedded", true, L"ab"},
      {L"Unterminated", true, L"xyz"}, {L"Multi", false, L""},
      {L"Missing", false, L""},
  };
  for (const Case& c : cases) {
    std::wstring value = L"untouched";
    EXPECT_EQ(ReadInstallerValue(c.name, &value), c.read) << test::Narrow(c.name);
    EXPECT_EQ(value, c.read ? c.text : L"untouched") << test::Narrow(c.name);
  }
  EXPECT_FALSE(ReadInstallerValue(L"Plain", nullptr));
}

TEST(ReadInstallerValue, ValueLargerThan64KiBCountsAsAbsent) {
  ScopedInstallerKey key;
  key.SetString(L"Fits", std::wstring(32767, L'f'));
  key.SetString(L"TooLong", std::wstring(32768, L't'));
  std::wstring value;
  EXPECT_TRUE(ReadInstallerValue(L"Fits", &value));
  EXPECT_EQ(value.size(), 32767u);
  value.clear();
  EXPECT_FALSE(ReadInstallerValue(L"TooLong", &value));
  EXPECT_TRUE(value.empty());
}

TEST(ReadInstallerValue, MissingKeyAndThe32BitViewAreAbsent) {
  test::DeleteInstallerKey();
  std::wstring value;
  EXPECT_FALSE(ReadInstallerValue(L"Version", &value));
  // A record written only to the 32-bit view is not the product's record.
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Velmora\\Installer", 0, nullptr, 0,
                            KEY_ALL_ACCESS | KEY_WOW64_32KEY, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExW(key, L"Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"9.9"), 8);
  RegCloseKey(key);
  EXPECT_FALSE(ReadInstallerValue(L"Version", &value));
  RegDeleteKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Velmora\\Installer", KEY_WOW64_32KEY, 0);
}

TEST(GetInstallFolder, TrimsTrailingSeparatorsButKeepsADriveRoot) {
  ScopedEnvironmentVariable programFiles(L"ProgramFiles", L"C:\\PF");
  struct Case {
    std::wstring stored, folder, exe;
  };
  const std::vector<Case> cases = {
      {L"D:\\Apps\\Velmora", L"D:\\Apps\\Velmora", L"D:\\Apps\\Velmora\\Velmora.exe"},
      {L"D:\\Apps\\Velmora\\", L"D:\\Apps\\Velmora", L"D:\\Apps\\Velmora\\Velmora.exe"},
      {L"D:\\Apps\\Velmora\\/\\//", L"D:\\Apps\\Velmora", L"D:\\Apps\\Velmora\\Velmora.exe"},
      {L"C:\\", L"C:\\", L"C:\\\\Velmora.exe"},
      {L"C:\\\\", L"C:\\", L"C:\\\\Velmora.exe"},
      {L"%ProgramFiles%\\V", L"%ProgramFiles%\\V", L"%ProgramFiles%\\V\\Velmora.exe"},
  };
  ScopedInstallerKey key;
  for (const Case& c : cases) {
    key.SetString(L"InstallFolder", c.stored);
    EXPECT_EQ(GetInstallFolder(), c.folder) << test::Narrow(c.stored);
    EXPECT_EQ(GetInstalledExePath(), c.exe) << test::Narrow(c.stored);
  }
}

TEST(GetInstallFolder, FallsBackToProgramFilesThenToNothing) {
  ScopedEnvironmentVariable programFiles(L"ProgramFiles", L"C:\\PF");
  ScopedInstallerKey key;
  EXPECT_EQ(GetInstallFolder(), L"C:\\PF\\Velmora");
  key.SetString(L"InstallFolder", L"");
  EXPECT_EQ(GetInstallFolder(), L"C:\\PF\\Velmora");
  const wchar_t leadingNul[] = L"\0D:\\x";
  key.SetRaw(L"InstallFolder", REG_SZ, leadingNul, sizeof leadingNul);
  EXPECT_EQ(GetInstallFolder(), L"C:\\PF\\Velmora");
  const DWORD number = 7;
  key.SetRaw(L"InstallFolder", REG_DWORD, &number, sizeof number);
  EXPECT_EQ(GetInstalledExePath(), L"C:\\PF\\Velmora\\Velmora.exe");
  {
    ScopedEnvironmentVariable unset(L"ProgramFiles", std::nullopt);
    EXPECT_EQ(GetInstallFolder(), L"");
    EXPECT_EQ(GetInstalledExePath(), L"");
  }
  {
    ScopedEnvironmentVariable tooLong(L"ProgramFiles", L"C:\\" + std::wstring(300, L'p'));
    EXPECT_EQ(GetInstallFolder(), L"");
  }
}

TEST(InstalledExeMatchesSize, ComparesTheExactSizeOfTheInstalledExecutable) {
  TempFolder folder;
  const std::wstring exe = folder / L"Velmora.exe";
  test::WriteWholeFile(exe, std::string(1000, 'x'));
  ScopedInstallerKey key;
  key.SetString(L"InstallFolder", folder.Path() + L"\\");  // the doubled separator is accepted
  EXPECT_TRUE(InstalledExeMatchesSize(1000));
  EXPECT_FALSE(InstalledExeMatchesSize(999));
  EXPECT_FALSE(InstalledExeMatchesSize(1001));
  EXPECT_TRUE(InstalledExeMatchesSize(0));
  DeleteFileW(exe.c_str());
  EXPECT_FALSE(InstalledExeMatchesSize(1000));
  CreateDirectoryW(exe.c_str(), nullptr);  // a folder named like the executable
  EXPECT_FALSE(InstalledExeMatchesSize(1000));
  RemoveDirectoryW(exe.c_str());
}

TEST(InstalledExeMatchesSize, UsesProgramFilesWhenNothingIsRegisteredAndZeroNeedsNoDisk) {
  test::DeleteInstallerKey();
  TempFolder folder;
  ScopedEnvironmentVariable programFiles(L"ProgramFiles", folder.Path());
  CreateDirectoryW((folder / L"Velmora").c_str(), nullptr);
  test::WriteWholeFile(folder / L"Velmora\\Velmora.exe", std::string(5, 'v'));
  EXPECT_TRUE(InstalledExeMatchesSize(5));
  ScopedEnvironmentVariable unset(L"ProgramFiles", std::nullopt);
  EXPECT_FALSE(InstalledExeMatchesSize(5));
  EXPECT_TRUE(InstalledExeMatchesSize(0));
}

}  // namespace
}  // namespace velmora

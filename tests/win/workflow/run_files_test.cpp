// The run's private folder, the lock on the checked package and the sweep of what killed runs
// left behind, on Wine's real file system and with Wine's real msiexec.
#include "workflow/win/run_files.h"

#include <aclapi.h>
#include <gtest/gtest.h>
#include <sddl.h>

#include <filesystem>
#include <regex>

#include "base/win/scoped_handle.h"
#include "msi/win/install_package.h"
#include "msi_support.h"
#include "net/win/file_integrity.h"
#include "scenario_support.h"
#include "win_test_support.h"

namespace velmora {
namespace {

using test::TempFolder;

std::wstring SidText(PSID sid) {
  LPWSTR text = nullptr;
  if (!ConvertSidToStringSidW(sid, &text)) return L"";
  const ScopedLocalMemory owner(text);
  return text;
}

std::wstring ProcessUserSid() {
  HANDLE raw = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) return L"";
  const ScopedHandle token(raw);
  std::uint8_t buffer[256] = {};
  DWORD size = 0;
  if (!GetTokenInformation(token.Get(), TokenUser, buffer, sizeof buffer, &size)) return L"";
  return SidText(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid);
}

bool UnderWine() { return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr; }

struct Entry {
  std::wstring sid;
  BYTE flags;
  ACCESS_MASK mask;
  bool operator==(const Entry&) const = default;
};

// A folder's access list as the system reports it back, entry by entry.
std::vector<Entry> AccessList(const std::wstring& path, bool* isProtected) {
  std::vector<Entry> entries;
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                            nullptr, &descriptor) != ERROR_SUCCESS) {
    return entries;
  }
  const ScopedLocalMemory owner(descriptor);
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  GetSecurityDescriptorControl(descriptor, &control, &revision);
  *isProtected = (control & SE_DACL_PROTECTED) != 0;
  for (WORD i = 0; dacl != nullptr && i < dacl->AceCount; ++i) {
    void* raw = nullptr;
    if (!GetAce(dacl, i, &raw)) break;
    const auto* ace = static_cast<const ACCESS_ALLOWED_ACE*>(raw);
    if (ace->Header.AceType != ACCESS_ALLOWED_ACE_TYPE) return {};
    entries.push_back({SidText(const_cast<DWORD*>(&ace->SidStart)), ace->Header.AceFlags, ace->Mask});
  }
  return entries;
}

TEST(RunFolder, IsMadeUnderTheSystemTemporaryFolderForSystemAndAdministratorsOnly) {
  TempFolder userTemp;
  const test::ScopedEnvironmentVariable tmp(L"TMP", userTemp.Path());
  const test::ScopedEnvironmentVariable temp(L"TEMP", userTemp.Path());
  const test::NewRunFolders made;
  std::wstring first;
  std::wstring second;
  const HeldFile firstHold = CreateRunFolder(first);
  const HeldFile secondHold = CreateRunFolder(second);
  ASSERT_TRUE(firstHold && secondHold);
  const std::wregex name(std::regex_replace(test::SystemTempFolderPath(), std::wregex(L"\\\\"), L"\\\\") +
                         L"\\\\VelmoraSetup-" + std::to_wstring(GetCurrentProcessId()) +
                         L"-[0-9a-f]{16}\\\\");
  EXPECT_TRUE(std::regex_match(first, name)) << test::Narrow(first);
  EXPECT_NE(first, second) << "random bits in every name";
  EXPECT_EQ(made.Paths().size(), 2u);

  // Windows reports the list as it was given. Wine keeps a folder's access list only as Unix
  // mode bits: it reports the Administrators' entry as the owner's, and cannot keep the list
  // protected, but it does show that nobody else was given anything.
  const BYTE inherited = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
  const std::wstring administrators = UnderWine() ? ProcessUserSid() : L"S-1-5-32-544";
  bool isProtected = false;
  EXPECT_EQ(AccessList(first.substr(0, first.size() - 1), &isProtected),
            (std::vector<Entry>{{L"S-1-5-18", inherited, FILE_ALL_ACCESS},
                                {administrators, inherited, FILE_ALL_ACCESS}}));
  EXPECT_TRUE(isProtected || UnderWine()) << "nothing inherited from the parent folder";

  // A folder made the ordinary way there reads back with more entries, so the check can fail.
  const std::wstring plain =
      test::SystemTempFolderPath() + L"\\VelmoraSetup-plain-" + std::to_wstring(GetCurrentProcessId());
  ASSERT_TRUE(CreateDirectoryW(plain.c_str(), nullptr));
  EXPECT_GT(AccessList(plain, &isProtected).size(), 2u);
  RemoveDirectoryW(plain.c_str());
}

TEST(RunFolder, HeldFolderStaysInPlaceAndGoesWhenReleasedEmpty) {
  const test::NewRunFolders made;
  std::wstring folder;
  HeldFile hold = CreateRunFolder(folder);
  ASSERT_TRUE(hold);
  const std::wstring path = folder.substr(0, folder.size() - 1);
  EXPECT_FALSE(MoveFileW(path.c_str(), (path + L"-moved").c_str()));
  EXPECT_FALSE(RemoveDirectoryW(path.c_str()));
  hold.reset();
  EXPECT_FALSE(test::PathExists(path));

  hold = CreateRunFolder(folder);
  ASSERT_TRUE(hold);
  test::WriteWholeFile(folder + L"Velmora-MSI-1.log", "kept for support");
  hold.reset();
  EXPECT_EQ(test::ReadWholeFile(folder + L"Velmora-MSI-1.log"), "kept for support");
}

TEST(RunFolder, NameTakenByAFolderOrALinkIsRefused) {
  const std::wstring base =
      test::SystemTempFolderPath() + L"\\VelmoraSetup-test-" + std::to_wstring(GetCurrentProcessId());
  ASSERT_TRUE(CreateDirectoryW(base.c_str(), nullptr));
  EXPECT_FALSE(CreateRunFolderAt(base)) << "an existing folder is never reused";
  RemoveDirectoryW(base.c_str());

  TempFolder target;
  ASSERT_TRUE(test::MakeUnixSymlink(target.Path(), base));
  EXPECT_FALSE(CreateRunFolderAt(base)) << "nor a link in its place";
  EXPECT_TRUE(test::RemoveUnixSymlink(base));
  EXPECT_TRUE(std::filesystem::is_empty(target.Path()));
}

class PackageLock : public ::testing::Test {
 protected:
  void SetUp() override {
    hold = CreateRunFolder(folder);
    ASSERT_TRUE(hold);
    package = folder + L"Velmora-Setup-1.msi";
    ASSERT_TRUE(CopyFileW(test::msi::SamplePackage(L"1.1.7").c_str(), package.c_str(), TRUE));
  }
  void TearDown() override { DeleteFileW(package.c_str()); }

  DWORD Tamper() const {
    return test::msi::RunProgram(test::TestBinaryFolder() + L"\\win_tamper_file.exe",
                                 L"win_tamper_file.exe \"" + package + L"\"");
  }

  test::NewRunFolders made;
  std::wstring folder;
  HeldFile hold;
  std::wstring package;
};

TEST_F(PackageLock, OtherProcessesCannotChangeIt_TheChecksAndMsiexecCanReadIt) {
  test::msi::SampleProductCleanup cleanup;
  HeldFile lock = LockFile(package);
  ASSERT_TRUE(lock);
  EXPECT_EQ(Tamper(), 0u) << "bits: 1 written, 2 renamed, 4 deleted";
  EXPECT_TRUE(IsMsiPackage(package));
  std::string digest;
  EXPECT_TRUE(ComputeFileSha256Hex(package, &digest));
  EXPECT_EQ(digest, test::SamplePackageOf("1.1.7").sha256);
  EXPECT_TRUE(InstallPackage(package, folder)) << "Wine's msiexec reads a held package";
  EXPECT_EQ(test::msi::InstalledValue(L"Version"), L"1.1.7");
  lock.reset();
  EXPECT_TRUE(DeleteFileW(package.c_str()));
}

TEST_F(PackageLock, FileOpenForWritingElsewhereIsNotLocked) {
  const ScopedHandle writer(CreateFileW(package.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(writer);
  EXPECT_FALSE(LockFile(package));
}

// Wine does not show a Unix link to a file as a reparse point; the name the system gives the
// opened file gives it away.
TEST_F(PackageLock, LinkToAFileElsewhereIsNotLocked) {
  TempFolder elsewhere;
  const std::wstring target = elsewhere / L"other.msi";
  ASSERT_TRUE(CopyFileW(package.c_str(), target.c_str(), TRUE));
  const std::wstring link = folder + L"Velmora-Setup-2.msi";
  ASSERT_TRUE(test::MakeUnixSymlink(target, link));
  EXPECT_FALSE(LockFile(link));
  EXPECT_TRUE(test::RemoveUnixSymlink(link));
}

// Leftovers of a killed run under a process id that no live process has here.
class EarlierRuns : public ::testing::Test {
 protected:
  void SetUp() override {
    killed = test::SystemTempFolderPath() + L"\\VelmoraSetup-4000000001-00000000deadbeef";
    empty = test::SystemTempFolderPath() + L"\\VelmoraSetup-4000000002-00000000deadbeef";
    link = test::SystemTempFolderPath() + L"\\VelmoraSetup-4000000003-00000000deadbeef";
    for (const std::wstring* path : {&killed, &empty}) {
      HeldFile made = CreateRunFolderAt(*path);
      ASSERT_TRUE(made);
      if (path == &killed) {
        for (const wchar_t* name :
             {L"Velmora-Setup-4000000001.msi", L"VelmoraInstallerManifest-4000000001.json",
              L"VelmoraInstallerManifest-4000000001.json.sig", L"Velmora-MSI-4000000001.log",
              L"Velmora-Uninstall-4000000001.log"}) {
          test::WriteWholeFile(*path + L"\\" + name, "left behind");
        }
      }
    }
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(killed, ignored);
    std::filesystem::remove_all(empty, ignored);
    test::RemoveUnixSymlink(link);
  }

  std::wstring killed;
  std::wstring empty;
  std::wstring link;
  test::msi::SetupLogCapture log;
};

TEST_F(EarlierRuns, PackagesAndManifestsAreRemovedAndLogged_LogsStay) {
  SweepEarlierRuns();
  EXPECT_FALSE(test::PathExists(killed + L"\\Velmora-Setup-4000000001.msi"));
  EXPECT_FALSE(test::PathExists(killed + L"\\VelmoraInstallerManifest-4000000001.json"));
  EXPECT_FALSE(test::PathExists(killed + L"\\VelmoraInstallerManifest-4000000001.json.sig"));
  EXPECT_TRUE(test::PathExists(killed + L"\\Velmora-MSI-4000000001.log"));
  EXPECT_TRUE(test::PathExists(killed + L"\\Velmora-Uninstall-4000000001.log"));
  EXPECT_FALSE(test::PathExists(empty)) << "a folder with nothing left in it goes";
  EXPECT_TRUE(test::InOrder(log.Messages(), {"Removed " + test::Narrow(killed) +
                                             "\\Velmora-Setup-4000000001.msi left by an earlier run."}));
  EXPECT_TRUE(
      test::InOrder(log.Messages(), {"Removed " + test::Narrow(killed) +
                                     "\\VelmoraInstallerManifest-4000000001.json left by an earlier run."}));
}

TEST_F(EarlierRuns, FolderOfARunningCopyIsLeftAlone) {
  const test::NewRunFolders made;
  std::wstring live;
  const HeldFile hold = CreateRunFolder(live);
  ASSERT_TRUE(hold);
  test::WriteWholeFile(live + L"Velmora-Setup-1.msi", "being downloaded");
  SweepEarlierRuns();
  EXPECT_TRUE(test::PathExists(live + L"Velmora-Setup-1.msi"));
  DeleteFileW((live + L"Velmora-Setup-1.msi").c_str());
}

TEST_F(EarlierRuns, LinksAreNeverFollowed) {
  TempFolder victim;
  test::WriteWholeFile(victim / L"Velmora-Setup-5.msi", "not the setup's");
  ASSERT_TRUE(test::MakeUnixSymlink(victim.Path(), link));
  TempFolder elsewhere;
  const std::wstring target = elsewhere / L"precious.msi";
  test::WriteWholeFile(target, "not the setup's either");
  const std::wstring fileLink = killed + L"\\Velmora-Setup-7.msi";
  ASSERT_TRUE(test::MakeUnixSymlink(target, fileLink));
  SweepEarlierRuns();
  EXPECT_EQ(test::ReadWholeFile(victim / L"Velmora-Setup-5.msi"), "not the setup's");
  EXPECT_EQ(test::ReadWholeFile(target), "not the setup's either");
  EXPECT_FALSE(test::PathExists(killed + L"\\Velmora-Setup-4000000001.msi")) << "the sweep did run";
  EXPECT_TRUE(test::RemoveUnixSymlink(fileLink));
}

}  // namespace
}  // namespace velmora

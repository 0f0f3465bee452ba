// The package cache's folder on Wine's real file system: what is kept, how it is held, that
// only the installed version stays, and the folders and files that are refused.
#include "workflow/win/package_cache_folder.h"

#include <aclapi.h>
#include <gtest/gtest.h>
#include <sddl.h>

#include <algorithm>
#include <filesystem>

#include "base/win/scoped_handle.h"
#include "msi_support.h"
#include "scenario_support.h"
#include "win_test_support.h"
#include "workflow/package_cache.h"
#include "workflow/win/run_files.h"

namespace velmora {
namespace {

using test::TempFolder;

// The owner and access list of a folder as the system reports them back.
std::wstring SecurityText(const std::wstring& path) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  const SECURITY_INFORMATION parts = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
  if (GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, parts, nullptr, nullptr, nullptr, nullptr,
                            &descriptor) != ERROR_SUCCESS) {
    return L"";
  }
  const ScopedLocalMemory owner(descriptor);
  LPWSTR text = nullptr;
  if (!ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1, parts, &text,
                                                            nullptr)) {
    return L"";
  }
  const ScopedLocalMemory textOwner(text);
  return text;
}

std::vector<std::wstring> FilesIn(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW entry = {};
  const ScopedFind search(FindFirstFileW((folder + L"\\*").c_str(), &entry));
  if (!search) return names;
  do {
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) names.push_back(entry.cFileName);
  } while (FindNextFileW(search.Get(), &entry));
  std::sort(names.begin(), names.end());
  return names;
}

// The test's own machine-wide data folder (the log capture's) and a run folder made as a run
// makes it.
class PackageCacheFolderTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(runHold); }

  std::wstring ProgramData() const { return log.DataFolder(); }
  std::wstring Cache() const { return ProgramData() + L"\\Velmora\\Setup\\Cache"; }

  bool Keep(const std::wstring& version, std::string* reason = nullptr) {
    std::string text;
    const bool kept = KeepInCache(runFolder, test::msi::SamplePackage(version), version,
                                  test::SamplePackageOf(test::Narrow(version)).sha256, text);
    if (reason != nullptr) *reason = text;
    return kept;
  }

  // The reason an open of the kept 1.1.7 gives; empty when it opened.
  std::string OpenReason() {
    std::wstring path;
    std::string record;
    std::string reason;
    const HeldFile held = OpenCachedPackage(runFolder, L"1.1.7", path, record, reason);
    EXPECT_EQ(static_cast<bool>(held), reason.empty()) << reason;
    return reason;
  }

  test::msi::SetupLogCapture log;
  test::NewRunFolders runFolders;
  std::wstring runFolder;
  HeldFile runHold = CreateRunFolder(runFolder);
};

TEST_F(PackageCacheFolderTest, KeptPackageIsHeldWithItsDigestAndOnlyTheInstalledVersionStays) {
  ASSERT_TRUE(Keep(L"1.1.7"));
  const std::string digest117 = test::SamplePackageOf("1.1.7").sha256;
  EXPECT_EQ(FilesIn(Cache()), (std::vector<std::wstring>{L"Velmora-1.1.7.msi", L"Velmora-1.1.7.msi.sha256"}));
  EXPECT_EQ(test::ReadWholeFile(Cache() + L"\\Velmora-1.1.7.msi"),
            test::ReadWholeFile(test::msi::SamplePackage(L"1.1.7")));
  EXPECT_EQ(test::ReadWholeFile(Cache() + L"\\Velmora-1.1.7.msi.sha256"),
            digest117 + " *Velmora-1.1.7.msi\n");
  // The same access list as the run's private folder, as the system reports both; a folder made
  // the ordinary way beside it reads back otherwise, so the comparison can fail.
  const std::wstring runPath = runFolder.substr(0, runFolder.size() - 1);
  EXPECT_EQ(SecurityText(Cache()), SecurityText(runPath));
  const std::wstring plain = ProgramData() + L"\\Velmora\\Setup\\Plain";
  ASSERT_TRUE(CreateDirectoryW(plain.c_str(), nullptr));
  EXPECT_NE(SecurityText(plain), SecurityText(runPath));
  RemoveDirectoryW(plain.c_str());

  {
    std::wstring path;
    std::string record;
    std::string reason;
    const HeldFile held = OpenCachedPackage(runFolder, L"1.1.7", path, record, reason);
    ASSERT_TRUE(held) << reason;
    EXPECT_EQ(path, Cache() + L"\\Velmora-1.1.7.msi");
    EXPECT_EQ(record, DigestRecord(digest117, L"Velmora-1.1.7.msi"));
    // Held: it can be read, as msiexec does, but neither changed nor removed.
    EXPECT_FALSE(DeleteFileW(path.c_str()));
    EXPECT_FALSE(ScopedHandle(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                          nullptr, OPEN_EXISTING, 0, nullptr)));
    EXPECT_TRUE(ScopedHandle(
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr)));
  }

  ASSERT_TRUE(Keep(L"1.1.8"));
  EXPECT_EQ(FilesIn(Cache()), (std::vector<std::wstring>{L"Velmora-1.1.8.msi", L"Velmora-1.1.8.msi.sha256"}));
  EXPECT_TRUE(test::InOrder(
      log.Messages(), {"Removed " + test::Narrow(Cache()) + "\\Velmora-1.1.7.msi from the package cache."}));
  EXPECT_EQ(OpenReason(), "no package of it is kept");
}

// An ordinary user may make the cache folder before the first elevated run, or plant links in
// its way; what lies there would then be installed as administrator. None of it is used, and
// nothing is written there.
TEST_F(PackageCacheFolderTest, CacheThatIsNotAdminOnlyOrALinkIsNeverUsed) {
  TempFolder victim;
  const std::wstring cache = Cache();
  const std::string planted = "planted by someone else";
  const auto plantPackage = [&](const std::wstring& folder) {
    test::WriteWholeFile(folder + L"\\Velmora-1.1.7.msi", planted);
    test::WriteWholeFile(folder + L"\\Velmora-1.1.7.msi.sha256",
                         DigestRecord(std::string(64, '0'), L"Velmora-1.1.7.msi"));
  };
  enum class Kind { OrdinaryFolder, FolderLink, File };
  struct Case {
    const char* name;
    Kind kind;
    std::string reason;  // what both the open and the keep give
  };
  const Case cases[] = {
      {"made the ordinary way", Kind::OrdinaryFolder, "the cache folder is not for administrators only"},
      {"a link to a folder", Kind::FolderLink, "the cache folder is a link or not a folder"},
      {"a file", Kind::File, "the cache folder is a link or not a folder"},
  };
  // The levels above are there, as the log makes them on a run's first line.
  std::filesystem::create_directories(ProgramData() + L"\\Velmora\\Setup");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::wstring plantedIn;
    if (c.kind == Kind::OrdinaryFolder) {
      ASSERT_TRUE(CreateDirectoryW(cache.c_str(), nullptr));
      plantedIn = cache;
    } else if (c.kind == Kind::FolderLink) {
      ASSERT_TRUE(test::MakeUnixSymlink(victim.Path(), cache));
      plantedIn = victim.Path();
    } else {
      test::WriteWholeFile(cache, planted);
    }
    if (!plantedIn.empty()) plantPackage(plantedIn);

    EXPECT_EQ(OpenReason(), c.reason);
    std::string reason;
    EXPECT_FALSE(Keep(L"1.1.7", &reason));
    EXPECT_EQ(reason, c.reason);
    if (!plantedIn.empty()) {
      EXPECT_EQ(test::ReadWholeFile(plantedIn + L"\\Velmora-1.1.7.msi"), planted);
      EXPECT_EQ(FilesIn(plantedIn).size(), 2u) << "nothing written there";
    }

    if (c.kind == Kind::FolderLink) {
      ASSERT_TRUE(test::RemoveUnixSymlink(cache));
    } else if (c.kind == Kind::OrdinaryFolder) {
      for (const std::wstring& name : FilesIn(cache)) DeleteFileW((cache + L"\\" + name).c_str());
      RemoveDirectoryW(cache.c_str());
    } else {
      DeleteFileW(cache.c_str());
    }
    ASSERT_FALSE(test::PathExists(cache));
  }
  EXPECT_EQ(OpenReason(), "there is no package cache");
}

// Inside a cache of its own, a kept package that has become a second name of another file, or
// lost its record, is not used either.
TEST_F(PackageCacheFolderTest, KeptPackageThatIsAHardLinkOrHasNoRecordIsNotUsed) {
  TempFolder victim;
  const std::wstring precious = victim / L"precious.msi";
  test::WriteWholeFile(precious, "precious");
  ASSERT_TRUE(Keep(L"1.1.7"));
  const std::wstring kept = Cache() + L"\\Velmora-1.1.7.msi";
  ASSERT_TRUE(DeleteFileW(kept.c_str()));
  ASSERT_TRUE(CreateHardLinkW(kept.c_str(), precious.c_str(), nullptr));
  EXPECT_EQ(OpenReason(), "the kept package is a link or cannot be held");

  ASSERT_TRUE(DeleteFileW(kept.c_str()));
  ASSERT_TRUE(Keep(L"1.1.7"));
  ASSERT_TRUE(DeleteFileW((kept + L".sha256").c_str()));
  EXPECT_EQ(OpenReason(), "its digest record is missing or cannot be read");
  EXPECT_EQ(test::ReadWholeFile(precious), "precious");
}

}  // namespace
}  // namespace velmora

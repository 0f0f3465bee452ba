#include "webview/win/webview2_detection.h"

#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <string>
#include <vector>

#include "win_test_support.h"

namespace velmora {
namespace {

using test::ScopedEnvironmentVariable;
using test::TempFolder;

constexpr wchar_t kApplication[] = L"\\Microsoft\\EdgeWebView\\Application";
constexpr wchar_t kUninstall[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr wchar_t kUninstall32[] = L"SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

bool MakeFolders(const std::wstring& path) {
  for (std::size_t at = path.find(L'\\', 3); at != std::wstring::npos; at = path.find(L'\\', at + 1)) {
    CreateDirectoryW(path.substr(0, at).c_str(), nullptr);
  }
  return CreateDirectoryW(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

// An empty file at the path, with the folders leading to it.
void MakeFile(const std::wstring& path) {
  ASSERT_TRUE(MakeFolders(path.substr(0, path.find_last_of(L'\\'))));
  test::WriteWholeFile(path, "");
  ASSERT_TRUE(test::PathExists(path));
}

TEST(FolderHasWebView2Exe, FindsTheMarkerInTheFolderOrOneLevelDownOnly) {
  struct Case {
    const char* name;
    std::vector<std::wstring> files;    // below the folder
    std::vector<std::wstring> folders;  // below the folder
    bool found;
  };
  const std::vector<Case> cases = {
      {"in the folder", {L"msedgewebview2.exe"}, {}, true},
      {"one level down", {L"120.0.2210.91\\msedgewebview2.exe"}, {}, true},
      {"one level down, after other subfolders", {L"b\\msedgewebview2.exe"}, {L"a", L"c"}, true},
      {"two levels down", {L"120.0\\bin\\msedgewebview2.exe"}, {}, false},
      {"a directory of the marker's name", {}, {L"msedgewebview2.exe"}, false},
      {"a directory of the marker's name one level down", {}, {L"120.0\\msedgewebview2.exe"}, false},
      {"other files only", {L"msedgewebview2.dll", L"120.0\\msedge.exe"}, {}, false},
      {"an empty folder", {}, {}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const TempFolder temp;
    const std::wstring folder = temp / L"Application";
    ASSERT_TRUE(MakeFolders(folder));
    for (const std::wstring& file : c.files) MakeFile(folder + L"\\" + file);
    for (const std::wstring& sub : c.folders) ASSERT_TRUE(MakeFolders(folder + L"\\" + sub));
    EXPECT_EQ(FolderHasWebView2Exe(folder), c.found);
  }
  const TempFolder temp;
  EXPECT_FALSE(FolderHasWebView2Exe(temp / L"missing"));
}

// A subkey of an Uninstall key made for one test and removed after it, together with the
// Uninstall key itself when the test had to create that.
class ScopedUninstallEntry {
 public:
  ScopedUninstallEntry(HKEY root, const wchar_t* uninstallKey) : root_(root), uninstallKey_(uninstallKey) {
    static std::atomic<unsigned> counter{0};
    name_ = L"VelmoraTest-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(counter++);
    HKEY existing = nullptr;
    createdUninstallKey_ = RegOpenKeyExW(root, uninstallKey, 0, KEY_READ, &existing) != ERROR_SUCCESS;
    if (existing != nullptr) RegCloseKey(existing);
    EXPECT_EQ(RegCreateKeyExW(root, Path().c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_, nullptr),
              ERROR_SUCCESS);
  }
  ~ScopedUninstallEntry() {
    if (key_ != nullptr) RegCloseKey(key_);
    RegDeleteKeyW(root_, Path().c_str());
    if (createdUninstallKey_) RegDeleteKeyW(root_, uninstallKey_);
  }
  ScopedUninstallEntry(const ScopedUninstallEntry&) = delete;
  ScopedUninstallEntry& operator=(const ScopedUninstallEntry&) = delete;

  void SetDisplayName(DWORD type, const std::wstring& units) {
    EXPECT_EQ(RegSetValueExW(key_, L"DisplayName", 0, type, reinterpret_cast<const BYTE*>(units.data()),
                             static_cast<DWORD>(units.size() * sizeof(wchar_t))),
              ERROR_SUCCESS);
  }

 private:
  std::wstring Path() const { return std::wstring(uninstallKey_) + L"\\" + name_; }

  HKEY root_;
  const wchar_t* uninstallKey_;
  std::wstring name_;
  HKEY key_ = nullptr;
  bool createdUninstallKey_ = false;
};

// No folder root is set, so only the registry can answer.
class WebView2RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(UninstallKeyListsWebView2(HKEY_LOCAL_MACHINE, kUninstall));
    ASSERT_FALSE(UninstallKeyListsWebView2(HKEY_LOCAL_MACHINE, kUninstall32));
    ASSERT_FALSE(UninstallKeyListsWebView2(HKEY_CURRENT_USER, kUninstall))
        << "the prefix already lists a WebView2 runtime";
  }

  ScopedEnvironmentVariable x86{L"ProgramFiles(x86)", std::nullopt};
  ScopedEnvironmentVariable programFiles{L"ProgramFiles", std::nullopt};
  ScopedEnvironmentVariable localAppData{L"LOCALAPPDATA", std::nullopt};
};

TEST_F(WebView2RegistryTest, DisplayNameCountsOnlyAsAStringHoldingWebView2AsSpelled) {
  struct Case {
    const char* name;
    HKEY root;
    const wchar_t* key;
    DWORD type;
    std::wstring units;  // stored as is, without an added terminator
    bool found;
  };
  const std::wstring terminated = std::wstring(L"Microsoft Edge WebView2 Runtime") + L'\0';
  // 255 units and the terminator fill the 512-byte buffer exactly; one more does not fit.
  const std::wstring fills = std::wstring(255 - 8, L'x') + L"WebView2" + L'\0';
  const std::wstring overflows = L"WebView2" + std::wstring(256 - 8, L'x') + L'\0';
  const std::vector<Case> cases = {
      {"current user", HKEY_CURRENT_USER, kUninstall, REG_SZ, terminated, true},
      {"machine", HKEY_LOCAL_MACHINE, kUninstall, REG_SZ, terminated, true},
      {"machine, 32-bit view", HKEY_LOCAL_MACHINE, kUninstall32, REG_SZ, terminated, true},
      {"expandable, searched as stored", HKEY_CURRENT_USER, kUninstall, REG_EXPAND_SZ,
       std::wstring(L"%ProgramFiles%\\WebView2") + L'\0', true},
      {"lower case", HKEY_CURRENT_USER, kUninstall, REG_SZ,
       std::wstring(L"microsoft edge webview2 runtime") + L'\0', false},
      {"multi-string", HKEY_CURRENT_USER, kUninstall, REG_MULTI_SZ,
       std::wstring(L"WebView2") + L'\0' + L"WebView2" + L'\0' + L'\0', false},
      {"binary", HKEY_CURRENT_USER, kUninstall, REG_BINARY, terminated, false},
      {"no terminator", HKEY_CURRENT_USER, kUninstall, REG_SZ, L"WebView2", true},
      {"fills the buffer", HKEY_CURRENT_USER, kUninstall, REG_SZ, fills, true},
      {"larger than the buffer", HKEY_CURRENT_USER, kUninstall, REG_SZ, overflows, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScopedUninstallEntry entry(c.root, c.key);
    entry.SetDisplayName(c.type, c.units);
    EXPECT_EQ(UninstallKeyListsWebView2(c.root, c.key), c.found);
    EXPECT_EQ(IsWebView2RuntimeInstalled(), c.found);
  }
}

TEST_F(WebView2RegistryTest, SubkeyWithoutDisplayNameDoesNotStopTheScan) {
  ScopedUninstallEntry unnamed(HKEY_CURRENT_USER, kUninstall);
  EXPECT_FALSE(UninstallKeyListsWebView2(HKEY_CURRENT_USER, kUninstall));
  ScopedUninstallEntry named(HKEY_CURRENT_USER, kUninstall);
  named.SetDisplayName(REG_SZ, std::wstring(L"Microsoft Edge WebView2 Runtime") + L'\0');
  EXPECT_TRUE(UninstallKeyListsWebView2(HKEY_CURRENT_USER, kUninstall));
  EXPECT_FALSE(UninstallKeyListsWebView2(HKEY_CURRENT_USER, L"SOFTWARE\\VelmoraNoSuchKey"));
}

// What the detection consulted, in order; the lookups themselves are the real ones.
struct Consulted {
  std::vector<std::wstring> folders;
  std::vector<std::pair<HKEY, std::wstring>> keys;
};

bool DetectWatched(Consulted& consulted) {
  WebView2DetectionCalls calls;
  calls.folderHasExe = [&consulted](const std::wstring& folder) {
    consulted.folders.push_back(folder);
    return FolderHasWebView2Exe(folder);
  };
  calls.uninstallKeyLists = [&consulted](HKEY root, const wchar_t* key) {
    consulted.keys.emplace_back(root, key);
    return UninstallKeyListsWebView2(root, key);
  };
  return IsWebView2RuntimeInstalled(calls);
}

const std::vector<std::pair<HKEY, std::wstring>> kAllKeys = {
    {HKEY_LOCAL_MACHINE, kUninstall}, {HKEY_LOCAL_MACHINE, kUninstall32}, {HKEY_CURRENT_USER, kUninstall}};

enum class Root { Unset, Empty, EmptyFolder, WithRuntime };

// The value a row gives a root variable (nullopt: unset); a runtime goes one level below the
// root's Application folder.
std::optional<std::wstring> RootValue(Root root, const TempFolder& folder) {
  switch (root) {
    case Root::Unset:
      return std::nullopt;
    case Root::Empty:
      return L"";
    case Root::WithRuntime:
      MakeFile(folder.Path() + kApplication + L"\\120.0.2210.91\\msedgewebview2.exe");
      break;
    case Root::EmptyFolder:
      break;
  }
  return folder.Path();
}

using WebView2DetectionOrderTest = WebView2RegistryTest;

TEST_F(WebView2DetectionOrderTest, FolderRootsComeFirstInOrderAndTheFirstMatchAnswersWatchedAtSeam) {
  struct Case {
    const char* name;
    Root roots[3];                 // ProgramFiles(x86), ProgramFiles, LOCALAPPDATA
    std::size_t foldersConsulted;  // of those set, in order
    bool registryConsulted;
    bool found;
  };
  const std::vector<Case> cases = {
      {"ProgramFiles(x86) answers without the registry",
       {Root::WithRuntime, Root::WithRuntime, Root::WithRuntime},
       1,
       false,
       true},
      {"ProgramFiles after an empty ProgramFiles(x86)",
       {Root::EmptyFolder, Root::WithRuntime, Root::Unset},
       2,
       false,
       true},
      {"LOCALAPPDATA after unset and empty variables",
       {Root::Unset, Root::Empty, Root::WithRuntime},
       1,
       false,
       true},
      {"no runtime in any folder", {Root::EmptyFolder, Root::EmptyFolder, Root::EmptyFolder}, 3, true, false},
      {"all unset", {Root::Unset, Root::Unset, Root::Unset}, 0, true, false},
  };
  const wchar_t* const names[3] = {L"ProgramFiles(x86)", L"ProgramFiles", L"LOCALAPPDATA"};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const TempFolder folders[3];
    std::optional<ScopedEnvironmentVariable> variables[3];
    std::vector<std::wstring> expectedFolders;
    for (int i = 0; i < 3; ++i) {
      const std::optional<std::wstring> value = RootValue(c.roots[i], folders[i]);
      variables[i].emplace(names[i], value);
      if (value && !value->empty()) expectedFolders.push_back(*value + kApplication);
    }
    expectedFolders.resize(c.foldersConsulted);
    Consulted consulted;
    EXPECT_EQ(DetectWatched(consulted), c.found);
    EXPECT_EQ(consulted.folders, expectedFolders);
    EXPECT_EQ(consulted.keys, c.registryConsulted ? kAllKeys : decltype(kAllKeys){});
    EXPECT_EQ(IsWebView2RuntimeInstalled(), c.found);
  }
}

TEST_F(WebView2DetectionOrderTest, VariableOf260UnitsOrMoreIsSkippedWatchedAtSeam) {
  for (const std::size_t length : {std::size_t{259}, std::size_t{260}, std::size_t{1000}}) {
    SCOPED_TRACE(length);
    const std::wstring value = L"C:\\" + std::wstring(length - 3, L'v');
    const ScopedEnvironmentVariable x86(L"ProgramFiles(x86)", value);
    Consulted consulted;
    EXPECT_FALSE(DetectWatched(consulted));
    EXPECT_EQ(consulted.folders,
              length < 260 ? std::vector<std::wstring>{value + kApplication} : std::vector<std::wstring>{});
  }
}

}  // namespace
}  // namespace velmora

#include "net/win/winhttp_api.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "net_test_support.h"
#include "win_test_support.h"

namespace velmora {
namespace {

using Values = std::map<std::string, std::string>;

std::string SystemWinHttpPath() {
  wchar_t folder[MAX_PATH] = {};
  GetSystemDirectoryW(folder, MAX_PATH);
  return test::Narrow(folder) + "\\winhttp.dll";
}

bool SamePath(const std::string& a, const std::string& b) { return _stricmp(a.c_str(), b.c_str()) == 0; }

// A genuine DLL that is not WinHTTP, planted under WinHTTP's name beside a copy of the probe.
class PlantedWinHttpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CopyFileW(test::DosPathOf("/usr/x86_64-w64-mingw32/lib/libwinpthread-1.dll").c_str(),
                          (folder / L"winhttp.dll").c_str(), FALSE))
        << "the planted DLL comes from the mingw-w64 runtime package";
  }
  std::string PlantedPath() const { return test::Narrow(folder / L"winhttp.dll"); }

  test::TempFolder folder;
};

TEST(GetWinHttpApi, ConcurrentFirstCallsShareOneTableFromOneLoadOfTheSystemCopy) {
  Values values;
  ASSERT_TRUE(test::RunNetProbe(L"", "", "load", values));
  EXPECT_EQ(values["loaded_before"], "");
  EXPECT_EQ(values["same_table"], "1");
  EXPECT_EQ(values["available"], "1");
  EXPECT_TRUE(SamePath(values["module"], SystemWinHttpPath())) << values["module"];
  // One FreeLibrary undoes every load the table made: there was exactly one.
  EXPECT_EQ(values["loaded_after_one_free"], "");
}

TEST_F(PlantedWinHttpTest, CopyBesideTheProgramIsNeverLoadedEvenWhenNativeDllsArePreferred) {
  Values plain;
  ASSERT_TRUE(test::RunNetProbe(folder.Path(), "WINEDLLOVERRIDES=winhttp=n,b", "plain", plain));
  // The planted copy is what an ordinary load would take under this setting...
  ASSERT_TRUE(SamePath(plain["module"], PlantedPath())) << plain["module"];
  EXPECT_EQ(plain["exports_winhttpopen"], "0");

  Values table;
  ASSERT_TRUE(test::RunNetProbe(folder.Path(), "WINEDLLOVERRIDES=winhttp=n,b", "load", table));
  // ...but the table takes the system folder's.
  EXPECT_TRUE(SamePath(table["module"], SystemWinHttpPath())) << table["module"];
  EXPECT_EQ(table["available"], "1");
}

// Native-only loading rules out Wine's own system copy, as if the system folder had none.
TEST_F(PlantedWinHttpTest, WithoutAUsableSystemCopyDownloadsFailAndThePlantedCopyStaysUnloaded) {
  const std::wstring destination = folder / L"out.bin";
  Values values;
  ASSERT_TRUE(test::RunNetProbe(
      folder.Path(), "WINEDLLOVERRIDES=winhttp=n",
      "download https://downloads.velmora.test/x.msi " + test::ShellQuote(test::Narrow(destination)),
      values));
  EXPECT_EQ(values["result"], "0");
  EXPECT_EQ(values["error"], "WinHTTP is unavailable");
  EXPECT_EQ(values["loaded_after"], "");
  EXPECT_FALSE(test::PathExists(destination));
}

TEST(HasRequiredWinHttpEntryPoints, EveryEntryPointButTheTimeoutsIsRequired) {
  const WinHttpApi& real = GetWinHttpApi();
  ASSERT_TRUE(real.available);
  EXPECT_TRUE(HasRequiredWinHttpEntryPoints(real));

  WinHttpApi withoutTimeouts = real;
  withoutTimeouts.WinHttpSetTimeouts = nullptr;
  EXPECT_TRUE(HasRequiredWinHttpEntryPoints(withoutTimeouts));

  WinHttpApi withoutModule = real;
  withoutModule.module = nullptr;
  EXPECT_FALSE(HasRequiredWinHttpEntryPoints(withoutModule));

  // Each required pointer, cleared in turn in a copy of the real table.
  const std::vector<std::function<void(WinHttpApi&)>> clear = {
      [](WinHttpApi& a) { a.WinHttpOpen = nullptr; },
      [](WinHttpApi& a) { a.WinHttpConnect = nullptr; },
      [](WinHttpApi& a) { a.WinHttpOpenRequest = nullptr; },
      [](WinHttpApi& a) { a.WinHttpSetOption = nullptr; },
      [](WinHttpApi& a) { a.WinHttpSendRequest = nullptr; },
      [](WinHttpApi& a) { a.WinHttpReceiveResponse = nullptr; },
      [](WinHttpApi& a) { a.WinHttpQueryHeaders = nullptr; },
      [](WinHttpApi& a) { a.WinHttpQueryDataAvailable = nullptr; },
      [](WinHttpApi& a) { a.WinHttpReadData = nullptr; },
      [](WinHttpApi& a) { a.WinHttpCloseHandle = nullptr; },
      [](WinHttpApi& a) { a.WinHttpQueryOption = nullptr; },
  };
  for (std::size_t i = 0; i < clear.size(); ++i) {
    WinHttpApi copy = real;
    clear[i](copy);
    EXPECT_FALSE(HasRequiredWinHttpEntryPoints(copy)) << "entry point " << i;
  }
}

TEST(GetWinHttpApi, ResolvesEveryEntryPointOfTheSystemCopy) {
  const WinHttpApi& api = GetWinHttpApi();
  EXPECT_EQ(&api, &GetWinHttpApi());
  const HMODULE system = GetModuleHandleW(L"winhttp.dll");
  ASSERT_EQ(api.module, system);
  const std::pair<const char*, void*> entries[] = {
      {"WinHttpOpen", reinterpret_cast<void*>(api.WinHttpOpen)},
      {"WinHttpConnect", reinterpret_cast<void*>(api.WinHttpConnect)},
      {"WinHttpOpenRequest", reinterpret_cast<void*>(api.WinHttpOpenRequest)},
      {"WinHttpSetOption", reinterpret_cast<void*>(api.WinHttpSetOption)},
      {"WinHttpSetTimeouts", reinterpret_cast<void*>(api.WinHttpSetTimeouts)},
      {"WinHttpSendRequest", reinterpret_cast<void*>(api.WinHttpSendRequest)},
      {"WinHttpReceiveResponse", reinterpret_cast<void*>(api.WinHttpReceiveResponse)},
      {"WinHttpQueryHeaders", reinterpret_cast<void*>(api.WinHttpQueryHeaders)},
      {"WinHttpQueryDataAvailable", reinterpret_cast<void*>(api.WinHttpQueryDataAvailable)},
      {"WinHttpReadData", reinterpret_cast<void*>(api.WinHttpReadData)},
      {"WinHttpCloseHandle", reinterpret_cast<void*>(api.WinHttpCloseHandle)},
      {"WinHttpQueryOption", reinterpret_cast<void*>(api.WinHttpQueryOption)},
  };
  for (const auto& [name, pointer] : entries) {
    EXPECT_NE(pointer, nullptr) << name;
    EXPECT_EQ(pointer, reinterpret_cast<void*>(GetProcAddress(system, name))) << name;
  }
}

}  // namespace
}  // namespace velmora

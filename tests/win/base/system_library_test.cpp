// The libraries bound at run time (crypt32, bcrypt, userenv): each table holds the system
// folder's copy, even with a copy planted beside the program and Wine told to prefer it, and an
// operation whose library could not be bound fails and says so instead of crashing.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>

#include "launch/win/userenv_api.h"
#include "net/win/bcrypt_api.h"
#include "net/win/crypt32_api.h"
#include "net_test_support.h"
#include "win_test_support.h"

namespace velmora {
namespace {

using Values = std::map<std::string, std::string>;

constexpr const char* kLibraries[] = {"crypt32", "bcrypt", "userenv"};

std::string SystemCopyOf(const std::string& library) {
  wchar_t folder[MAX_PATH] = {};
  GetSystemDirectoryW(folder, MAX_PATH);
  return test::Narrow(folder) + "\\" + library + ".dll";
}

bool SamePath(const std::string& a, const std::string& b) { return _stricmp(a.c_str(), b.c_str()) == 0; }

TEST(RunTimeBinding, PlantedCopiesBesideTheProgramAreNeverBoundEvenWhenNativeDllsArePreferred) {
  test::TempFolder folder;
  for (const char* library : kLibraries) {
    const std::wstring name = test::Widen(library) + L".dll";
    ASSERT_TRUE(CopyFileW((test::TestBinaryFolder() + L"\\planted\\" + name).c_str(), (folder / name).c_str(),
                          FALSE));
  }
  Values values;
  ASSERT_TRUE(test::RunProbe(L"win_binding_probe.exe", folder.Path(),
                             "WINEDLLOVERRIDES=crypt32,bcrypt,userenv=n,b", "tables", values));
  for (const std::string library : kLibraries) {
    EXPECT_EQ(values[library + "_available"], "1") << library;
    EXPECT_TRUE(SamePath(values[library + "_module"], SystemCopyOf(library))) << values[library + "_module"];
    EXPECT_FALSE(test::PathExists(folder / (test::Widen(library) + L".dll.loaded"))) << library;
  }
}

TEST(RunTimeBinding, EveryEntryPointIsTheSystemCopysOwn) {
  const Crypt32Api& crypt32 = GetCrypt32Api();
  const BcryptApi& bcrypt = GetBcryptApi();
  const UserenvApi& userenv = GetUserenvApi();
  ASSERT_TRUE(crypt32.available && bcrypt.available && userenv.available);
  EXPECT_EQ(&crypt32, &GetCrypt32Api());
  struct Entry {
    HMODULE module;
    const char* name;
    void* pointer;
  };
  const Entry entries[] = {
      {crypt32.module, "CertGetCertificateChain", reinterpret_cast<void*>(crypt32.CertGetCertificateChain)},
      {crypt32.module, "CertFreeCertificateChain", reinterpret_cast<void*>(crypt32.CertFreeCertificateChain)},
      {crypt32.module, "CertFreeCertificateContext",
       reinterpret_cast<void*>(crypt32.CertFreeCertificateContext)},
      {crypt32.module, "CryptEncodeObjectEx", reinterpret_cast<void*>(crypt32.CryptEncodeObjectEx)},
      {crypt32.module, "CertGetNameStringW", reinterpret_cast<void*>(crypt32.CertGetNameStringW)},
      {bcrypt.module, "BCryptOpenAlgorithmProvider",
       reinterpret_cast<void*>(bcrypt.BCryptOpenAlgorithmProvider)},
      {bcrypt.module, "BCryptCreateHash", reinterpret_cast<void*>(bcrypt.BCryptCreateHash)},
      {bcrypt.module, "BCryptHashData", reinterpret_cast<void*>(bcrypt.BCryptHashData)},
      {bcrypt.module, "BCryptFinishHash", reinterpret_cast<void*>(bcrypt.BCryptFinishHash)},
      {bcrypt.module, "BCryptDestroyHash", reinterpret_cast<void*>(bcrypt.BCryptDestroyHash)},
      {bcrypt.module, "BCryptCloseAlgorithmProvider",
       reinterpret_cast<void*>(bcrypt.BCryptCloseAlgorithmProvider)},
      {bcrypt.module, "BCryptImportKeyPair", reinterpret_cast<void*>(bcrypt.BCryptImportKeyPair)},
      {bcrypt.module, "BCryptVerifySignature", reinterpret_cast<void*>(bcrypt.BCryptVerifySignature)},
      {bcrypt.module, "BCryptDestroyKey", reinterpret_cast<void*>(bcrypt.BCryptDestroyKey)},
      {userenv.module, "CreateEnvironmentBlock", reinterpret_cast<void*>(userenv.CreateEnvironmentBlock)},
      {userenv.module, "DestroyEnvironmentBlock", reinterpret_cast<void*>(userenv.DestroyEnvironmentBlock)},
  };
  for (const Entry& entry : entries) {
    EXPECT_NE(entry.pointer, nullptr) << entry.name;
    EXPECT_EQ(entry.pointer, reinterpret_cast<void*>(GetProcAddress(entry.module, entry.name))) << entry.name;
  }
}

// Native-only loading rules out Wine's own system copy, as if the system folder had none. The
// rows without an override show the same operations succeeding or getting further.
TEST(RunTimeBinding, WithoutAUsableSystemCopyTheOperationFailsAndSaysSo) {
  struct Case {
    const char* environment;
    const char* mode;
    Values expected;
  };
  const Case cases[] = {
      {"", "hash", {{"result", "1"}}},
      {"WINEDLLOVERRIDES=bcrypt=n", "hash", {{"result", "0"}, {"digest", ""}}},
      {"", "pin", {{"result", "0"}, {"error", "Server certificate context unavailable"}, {"queries", "1"}}},
      {"WINEDLLOVERRIDES=crypt32=n",
       "pin",
       {{"result", "0"}, {"error", "crypt32 is unavailable"}, {"queries", "0"}}},
      {"WINEDLLOVERRIDES=bcrypt=n",
       "pin",
       {{"result", "0"}, {"error", "bcrypt is unavailable"}, {"queries", "0"}}},
      {"", "environment", {{"result", "1"}, {"block", "1"}}},
      {"WINEDLLOVERRIDES=userenv=n",
       "environment",
       {{"result", "0"}, {"error", std::to_string(ERROR_MOD_NOT_FOUND)}, {"block", "0"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.environment) + " " + c.mode);
    Values values;
    ASSERT_TRUE(test::RunProbe(L"win_binding_probe.exe", L"", c.environment, c.mode, values));
    for (const auto& [key, value] : c.expected) EXPECT_EQ(values[key], value) << key;
  }
}

}  // namespace
}  // namespace velmora

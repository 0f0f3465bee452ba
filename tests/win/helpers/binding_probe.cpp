// Uses the libraries that the program binds at run time (crypt32, bcrypt, userenv) in a fresh
// process and prints what it saw as key=value lines, for tests that start it with their own
// loader settings (WINEDLLOVERRIDES) or with libraries planted beside it.
//
//   win_binding_probe tables        each table: available and the module it bound
//   win_binding_probe hash          ComputeFileSha256Hex of this program's own file
//   win_binding_probe pin           VerifyServerKeyPin against a table whose certificate query
//                                   fails, counting the queries
//   win_binding_probe environment   CreateUserEnvironmentBlock for this process's own token
#include <windows.h>

#include <cstdio>
#include <string>

#include "launch/win/userenv_api.h"
#include "net/win/bcrypt_api.h"
#include "net/win/crypt32_api.h"
#include "net/win/file_integrity.h"
#include "net/win/server_key_pin.h"

namespace {

std::wstring ModulePath(HMODULE module) {
  wchar_t path[MAX_PATH] = {};
  if (module != nullptr) GetModuleFileNameW(module, path, MAX_PATH);
  return path;
}

void PrintTable(const char* name, bool available, HMODULE module) {
  std::printf("%s_available=%d\n%s_module=%ls\n", name, available ? 1 : 0, name, ModulePath(module).c_str());
}

int Tables() {
  PrintTable("crypt32", velmora::GetCrypt32Api().available, velmora::GetCrypt32Api().module);
  PrintTable("bcrypt", velmora::GetBcryptApi().available, velmora::GetBcryptApi().module);
  PrintTable("userenv", velmora::GetUserenvApi().available, velmora::GetUserenvApi().module);
  return 0;
}

int Hash() {
  std::string hex;
  const bool ok = velmora::ComputeFileSha256Hex(ModulePath(GetModuleHandleW(nullptr)), &hex);
  std::printf("result=%d\ndigest=%s\n", ok ? 1 : 0, hex.c_str());
  return 0;
}

int queries = 0;

BOOL WINAPI RefusingQueryOption(HINTERNET, DWORD, LPVOID, LPDWORD) {
  ++queries;
  SetLastError(ERROR_INVALID_HANDLE);
  return FALSE;
}

int Pin() {
  velmora::WinHttpApi api;
  api.WinHttpQueryOption = RefusingQueryOption;
  std::string error;
  const bool ok = velmora::VerifyServerKeyPin(api, nullptr, &error, std::string(64, 'a').c_str());
  std::printf("result=%d\nerror=%s\nqueries=%d\n", ok ? 1 : 0, error.c_str(), queries);
  return 0;
}

int Environment() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY | TOKEN_DUPLICATE, &token)) return 3;
  LPVOID block = nullptr;
  const BOOL ok = velmora::CreateUserEnvironmentBlock(&block, token, FALSE);
  const DWORD error = ok ? 0 : GetLastError();
  std::printf("result=%d\nerror=%lu\nblock=%d\n", ok ? 1 : 0, error, block != nullptr ? 1 : 0);
  if (block != nullptr) velmora::DestroyUserEnvironmentBlock(block);
  CloseHandle(token);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring mode = argc == 2 ? argv[1] : L"";
  if (mode == L"tables") return Tables();
  if (mode == L"hash") return Hash();
  if (mode == L"pin") return Pin();
  if (mode == L"environment") return Environment();
  std::fprintf(stderr, "usage: win_binding_probe tables | hash | pin | environment\n");
  return 2;
}

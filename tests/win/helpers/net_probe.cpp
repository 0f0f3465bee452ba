// Runs one of the download path's operations in a fresh process and prints what it saw as
// key=value lines, for tests that need a process of their own: a first load of WinHTTP, or a
// loader told by WINEDLLOVERRIDES to prefer DLLs beside the program.
//
//   win_net_probe load                       GetWinHttpApi from several threads at once
//   win_net_probe plain                      a plain LoadLibraryW("winhttp.dll"), for contrast
//   win_net_probe download URL DESTINATION   HttpsDownloader with the program's own calls
//   win_net_probe system URL DESTINATION [STALL_MS [STOP_AFTER_MS [MIN_BYTES WINDOW_MS]]]
//                                            DownloadWithSystemDownloader, limits shortened
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <thread>
#include <vector>

#include "net/win/https_downloader.h"
#include "net/win/system_downloader.h"
#include "net/win/winhttp_api.h"

namespace {

std::wstring ModulePath(HMODULE module) {
  if (module == nullptr) return L"";
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(module, path, MAX_PATH);
  return path;
}

void PrintLoaded(const char* key) {
  std::printf("%s=%ls\n", key, ModulePath(GetModuleHandleW(L"winhttp.dll")).c_str());
}

int Load() {
  PrintLoaded("loaded_before");
  constexpr int kThreads = 8;
  std::vector<const velmora::WinHttpApi*> seen(kThreads, nullptr);
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&seen, i] { seen[i] = &velmora::GetWinHttpApi(); });
  }
  for (std::thread& thread : threads) thread.join();
  const velmora::WinHttpApi& api = velmora::GetWinHttpApi();
  bool same = true;
  for (const velmora::WinHttpApi* table : seen) same = same && table == &api;
  std::printf("same_table=%d\navailable=%d\nmodule=%ls\n", same ? 1 : 0, api.available ? 1 : 0,
              ModulePath(api.module).c_str());
  // One load means one reference: giving it back unloads the library.
  if (api.module != nullptr) FreeLibrary(api.module);
  PrintLoaded("loaded_after_one_free");
  return 0;
}

int Plain() {
  const HMODULE module = LoadLibraryW(L"winhttp.dll");
  std::printf("module=%ls\nexports_winhttpopen=%d\n", ModulePath(module).c_str(),
              module != nullptr && GetProcAddress(module, "WinHttpOpen") != nullptr ? 1 : 0);
  return 0;
}

std::string Narrow(const wchar_t* text) {
  std::string out;
  for (; *text != L'\0'; ++text) out.push_back(static_cast<char>(*text));
  return out;
}

int Download(const wchar_t* url, const wchar_t* destination) {
  std::string error;
  const bool ok = velmora::HttpsDownloader(Narrow(url)).Download(destination, 0, {}, &error);
  std::printf("result=%d\nerror=%s\n", ok ? 1 : 0, error.c_str());
  PrintLoaded("loaded_after");
  return 0;
}

// The limits the program uses, with those given on the command line in their place. With
// STOP_AFTER_MS, a stop is requested (as by the user's cancel) once that much time has passed
// since the start.
int System(int argc, wchar_t** argv) {
  velmora::SystemDownloadLimits limits;
  if (argc > 4) limits.stallMilliseconds = std::wcstoul(argv[4], nullptr, 10);
  const ULONGLONG stopAfter = argc > 5 ? std::wcstoull(argv[5], nullptr, 10) : ~0ull;
  if (argc > 7)
    limits.minimumRate = {std::wcstoull(argv[6], nullptr, 10), std::wcstoull(argv[7], nullptr, 10)};
  std::string error;
  const ULONGLONG start = GetTickCount64();
  const bool ok = velmora::DownloadWithSystemDownloader(
      Narrow(argv[2]), argv[3], &error, limits, [=] { return GetTickCount64() - start >= stopAfter; });
  std::printf("result=%d\nerror=%s\n", ok ? 1 : 0, error.c_str());
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring mode = argc > 1 ? argv[1] : L"";
  if (mode == L"load" && argc == 2) return Load();
  if (mode == L"plain" && argc == 2) return Plain();
  if (mode == L"download" && argc == 4) return Download(argv[2], argv[3]);
  if (mode == L"system" && ((argc >= 4 && argc <= 6) || argc == 8)) return System(argc, argv);
  std::fprintf(stderr,
               "usage: win_net_probe load | plain | download URL DEST | "
               "system URL DEST [STALL_MS [STOP_AFTER_MS [MIN_BYTES WINDOW_MS]]]\n");
  return 2;
}

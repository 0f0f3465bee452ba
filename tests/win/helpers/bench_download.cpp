// The downloading side of the downloader benchmark (tools/bench): one HttpsDownloader::Download
// followed by ComputeFileSha256Hex, with the time of each and the process's peak working set,
// printed as key=value lines. The two anchors measure the platform alone, in the same run:
// a bare WinHTTP read loop with the same 256 KiB buffer and no file, and a bare CNG SHA-256
// loop over a file with the same read size as ComputeFileSha256Hex.
//
//   win_bench_download URL DESTINATION MAX_BYTES
//   win_bench_download bare-read URL
//   win_bench_download bare-hash FILE
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include <bcrypt.h>

#include <vector>

#include "net/win/file_integrity.h"
#include "net/win/https_downloader.h"
#include "net/win/winhttp_api.h"

namespace {

double Seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

unsigned long long PeakWorkingSet() {
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof counters;
  return GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters) ? counters.PeakWorkingSetSize
                                                                               : 0;
}

// GET url over TLS and read the body into one 256 KiB buffer until its end; nothing else.
int BareRead(const wchar_t* url) {
  const velmora::WinHttpApi& api = velmora::GetWinHttpApi();
  // WinHttpCrackUrl is not in the table; the URLs here are plain https://HOST/PATH.
  const std::wstring text = url;
  const std::size_t hostStart = text.find(L"://") + 3;
  const std::size_t pathStart = text.find(L'/', hostStart);
  const std::wstring hostName = text.substr(hostStart, pathStart - hostStart);
  const std::wstring pathName = text.substr(pathStart);
  LARGE_INTEGER start, end;
  QueryPerformanceCounter(&start);
  HINTERNET session = api.WinHttpOpen(L"bench", WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY, nullptr, nullptr, 0);
  HINTERNET connection = api.WinHttpConnect(session, hostName.c_str(), INTERNET_DEFAULT_HTTPS_PORT, 0);
  HINTERNET request = api.WinHttpOpenRequest(connection, L"GET", pathName.c_str(), nullptr, nullptr, nullptr,
                                             WINHTTP_FLAG_SECURE);
  unsigned long long bytes = 0;
  bool ok = request != nullptr && api.WinHttpSendRequest(request, nullptr, 0, nullptr, 0, 0, 0) &&
            api.WinHttpReceiveResponse(request, nullptr);
  std::vector<unsigned char> buffer(0x40000);
  for (DWORD read = 1; ok && read > 0;) {
    ok = api.WinHttpReadData(request, buffer.data(), static_cast<DWORD>(buffer.size()), &read);
    bytes += read;
  }
  QueryPerformanceCounter(&end);
  if (request != nullptr) api.WinHttpCloseHandle(request);
  if (connection != nullptr) api.WinHttpCloseHandle(connection);
  if (session != nullptr) api.WinHttpCloseHandle(session);
  std::printf("result=%d\nbytes=%llu\nread_seconds=%.6f\n", ok ? 1 : 0, bytes, Seconds(start, end));
  return ok ? 0 : 1;
}

// SHA-256 of the file through CNG alone, read 65,536 bytes at a time.
int BareHash(const wchar_t* path) {
  LARGE_INTEGER start, end;
  QueryPerformanceCounter(&start);
  HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  BCRYPT_ALG_HANDLE provider = nullptr;
  BCRYPT_HASH_HANDLE hash = nullptr;
  bool ok = file != INVALID_HANDLE_VALUE &&
            BCryptOpenAlgorithmProvider(&provider, L"SHA256", nullptr, 0) == 0 &&
            BCryptCreateHash(provider, &hash, nullptr, 0, nullptr, 0, 0) == 0;
  std::vector<unsigned char> buffer(65536);
  for (DWORD read = 1; ok && read > 0;) {
    ok = ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr) &&
         BCryptHashData(hash, buffer.data(), read, 0) == 0;
  }
  unsigned char digest[32] = {};
  ok = ok && BCryptFinishHash(hash, digest, sizeof digest, 0) == 0;
  QueryPerformanceCounter(&end);
  if (hash != nullptr) BCryptDestroyHash(hash);
  if (provider != nullptr) BCryptCloseAlgorithmProvider(provider, 0);
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  std::printf("result=%d\nhash_seconds=%.6f\n", ok ? 1 : 0, Seconds(start, end));
  return ok ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 3 && std::wcscmp(argv[1], L"bare-read") == 0) return BareRead(argv[2]);
  if (argc == 3 && std::wcscmp(argv[1], L"bare-hash") == 0) return BareHash(argv[2]);
  if (argc != 4) {
    std::fprintf(stderr, "usage: win_bench_download URL DESTINATION MAX_BYTES\n");
    return 2;
  }
  std::string url;
  for (const wchar_t* c = argv[1]; *c != L'\0'; ++c) url.push_back(static_cast<char>(*c));
  const unsigned long long maxBytes = std::wcstoull(argv[3], nullptr, 10);
  std::printf("peak_working_set_at_start=%llu\n", PeakWorkingSet());

  LARGE_INTEGER start, headers = {}, downloaded, hashed;
  std::string error;
  std::string digest;
  QueryPerformanceCounter(&start);
  // The first report comes once every check before the body has passed; each later one follows
  // a read that delivered bytes.
  unsigned long long writes = 0;
  const bool ok = velmora::HttpsDownloader(url).Download(
      argv[2], maxBytes,
      [&writes, &headers](std::uint64_t done, std::uint64_t) {
        if (done == 0) QueryPerformanceCounter(&headers);
        writes += done > 0 ? 1 : 0;
      },
      &error);
  QueryPerformanceCounter(&downloaded);
  std::printf("peak_working_set_after_download=%llu\n", PeakWorkingSet());
  const bool hashOk = ok && velmora::ComputeFileSha256Hex(argv[2], &digest);
  QueryPerformanceCounter(&hashed);

  WIN32_FILE_ATTRIBUTE_DATA attributes = {};
  const unsigned long long bytes =
      GetFileAttributesExW(argv[2], GetFileExInfoStandard, &attributes)
          ? (static_cast<unsigned long long>(attributes.nFileSizeHigh) << 32) | attributes.nFileSizeLow
          : 0;
  std::printf("result=%d\nerror=%s\nbytes=%llu\nwrites=%llu\nsha256=%s\n", ok && hashOk ? 1 : 0,
              error.c_str(), bytes, writes, digest.c_str());
  std::printf("download_seconds=%.6f\nbefore_body_seconds=%.6f\nhash_seconds=%.6f\n",
              Seconds(start, downloaded), Seconds(start, headers), Seconds(downloaded, hashed));
  std::printf("peak_working_set=%llu\n", PeakWorkingSet());
  return ok && hashOk ? 0 : 1;
}

// The downloading side of the downloader benchmark (tools/bench): one HttpsDownloader::Download
// followed by ComputeFileSha256Hex, with the time of each and the process's peak working set,
// printed as key=value lines.
//
//   win_bench_download URL DESTINATION MAX_BYTES
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "net/file_integrity.h"
#include "net/https_downloader.h"

namespace {

double Seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

unsigned long long PeakWorkingSet() {
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof counters;
  return GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters) ? counters.PeakWorkingSetSize : 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
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
  std::printf("result=%d\nerror=%s\nbytes=%llu\nwrites=%llu\nsha256=%s\n", ok && hashOk ? 1 : 0, error.c_str(),
              bytes, writes, digest.c_str());
  std::printf("download_seconds=%.6f\nbefore_body_seconds=%.6f\nhash_seconds=%.6f\n", Seconds(start, downloaded),
              Seconds(start, headers), Seconds(downloaded, hashed));
  std::printf("peak_working_set=%llu\n", PeakWorkingSet());
  return ok && hashOk ? 0 : 1;
}

// The pinned HTTPS downloader: one URL into one local file through the WinHTTP table, with the
// URL rules, TLS 1.2/1.3 only (TLS 1.2 alone where the platform has no 1.3), no redirects, the
// server key pin before anything of the response is read, status 200 only, a fresh Date, a size
// limit, progress reports and one error text per failure.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "base/setup_state.h"
#include "profile/vendor_profile.h"
#include "net/transfer_limits.h"
#include "net/win/winhttp_api.h"

namespace velmora {

// What a download reaches beyond its URL and its file path. The defaults are the program's;
// tests replace one part at a time to cause faults the real platform cannot produce on demand.
struct DownloadCalls {
  std::function<const WinHttpApi&()> winHttpApi = GetWinHttpApi;  // asked only once the URL has passed
  const char* serverKeyPin = ServerKeyPin();
  std::function<BOOL(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED)> writeFile = WriteFile;
  // The slowest the body may arrive; the tests shorten the window.
  MinimumRate minimumRate;
  // Asked before each read of the body; true stops the download there (the user cancelled).
  std::function<bool()> stopRequested = CancelRequested;
};

class HttpsDownloader {
 public:
  explicit HttpsDownloader(std::string url) : url_(std::move(url)) {}

  // Fetches the URL into destinationPath (created or truncated only once every check before the
  // body has passed). maxBytes 0 means 268,435,456. True when the whole body, at least one
  // byte, is in the file. A stop requested through the calls ends it before the next read. On false, *error
  // (when error is non-null) holds the reason. The progress callable sees (0, total) first and then the bytes
  // written after each write; it is released before the call returns.
  [[nodiscard]] bool Download(const std::wstring& destinationPath, std::uint64_t maxBytes,
                              DownloadProgress progress, std::string* error,
                              const DownloadCalls& calls = {}) const;

 private:
  std::string url_;
};

// message + " (code " + GetLastError() in unsigned decimal + ")"; the error is read first.
std::string FormatWithLastError(const std::string& message);

// True when the response's Date is less than 61 seconds from the local clock either way, or
// when there is no usable Date at all. On false, *error (when error is non-null) names the
// difference in whole seconds and its direction.
[[nodiscard]] bool IsResponseDateFresh(const WinHttpApi& api, HINTERNET request,
                                       std::string* error = nullptr);

}  // namespace velmora

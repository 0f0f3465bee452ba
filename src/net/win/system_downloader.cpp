#include "net/win/system_downloader.h"

#include <windows.h>
#include <urlmon.h>

#include "base/win/scoped_handle.h"
#include "base/win/link_checks.h"
#include "net/win/binding_watchdog.h"
#include "net/error_text.h"
#include "net/text_encoding.h"

namespace velmora {
namespace {

// The watch's own reasons; a stall or a cancel keeps the code urlmon gives for the abort.
std::string StoppedReason(WatchdogAbort abort, const MinimumRate& rate) {
  switch (abort) {
    case WatchdogAbort::TooLarge:
      return "Windows downloader stopped: the download exceeded the maximum download size.";
    case WatchdogAbort::TooSlow:
      return "Windows downloader stopped: the download was " + SlowerThan(rate) + ".";
    case WatchdogAbort::None:
    case WatchdogAbort::Stalled:
    case WatchdogAbort::Cancelled:
      break;
  }
  return {};
}

// The destination and the cached copy of a download that failed. urlmon keeps what it fetches
// in the internet cache as well, and Wine's fills it before it reports any progress, an
// endless body by the gigabyte. The cache file is deleted only when it is the file itself,
// never through a link.
void RemoveFailedDownload(const std::wstring& cacheFile, const std::wstring& destinationPath) {
  DeleteFileW(destinationPath.c_str());
  if (!cacheFile.empty()) (void)DeleteUnlinkedFile(cacheFile);
}

}  // namespace

bool DownloadWithSystemDownloader(const std::string& url, const std::wstring& destinationPath,
                                  std::string* error, const SystemDownloadLimits& limits,
                                  const std::function<bool()>& stopRequested) {
  ScopedLibrary urlmon(LoadLibraryExW(L"urlmon.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
  const auto download = urlmon ? reinterpret_cast<decltype(&::URLDownloadToFileW)>(reinterpret_cast<void*>(
                                     GetProcAddress(urlmon.Get(), "URLDownloadToFileW")))
                               : nullptr;
  if (download == nullptr) {
    SetError(error, "Windows download support is unavailable.");
    return false;
  }
  // No earlier file may pass for this download's result.
  DeleteFileW(destinationPath.c_str());
  HRESULT result = S_OK;
  WatchdogAbort aborted = WatchdogAbort::None;
  std::wstring cacheFile;
  {
    // Ended, and the binding let go, before urlmon is unloaded.
    BindingWatchdog watchdog(limits.stallMilliseconds, limits.maxBytes, limits.minimumRate, stopRequested);
    result = download(nullptr, WidenAscii(url).c_str(), destinationPath.c_str(), 0, &watchdog);
    aborted = watchdog.Aborted();
    cacheFile = watchdog.CacheFile();
  }
  urlmon.Close();
  // Whatever urlmon made of the abort, a body cut off by a limit is no download.
  const std::string stopped = StoppedReason(aborted, limits.minimumRate);
  if (!stopped.empty()) {
    SetError(error, stopped);
    RemoveFailedDownload(cacheFile, destinationPath);
    return false;
  }
  if (FAILED(result)) {
    SetError(error, "Windows downloader failed (" + FormatHresult(static_cast<std::int32_t>(result)) + ").");
    RemoveFailedDownload(cacheFile, destinationPath);
    return false;
  }
  return true;
}

}  // namespace velmora

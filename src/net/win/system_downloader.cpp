#include "net/win/system_downloader.h"

#include <windows.h>
#include <urlmon.h>

#include "base/win/scoped_handle.h"
#include "net/win/binding_watchdog.h"
#include "net/error_text.h"
#include "net/text_encoding.h"

namespace velmora {

bool DownloadWithSystemDownloader(const std::string& url, const std::wstring& destinationPath,
                                  std::string* error, DWORD stallMilliseconds,
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
  {
    // Ended, and the binding let go, before urlmon is unloaded.
    BindingWatchdog watchdog(stallMilliseconds, stopRequested);
    result = download(nullptr, WidenAscii(url).c_str(), destinationPath.c_str(), 0, &watchdog);
  }
  urlmon.Close();
  if (FAILED(result)) {
    SetError(error, "Windows downloader failed (" + FormatHresult(static_cast<std::int32_t>(result)) + ").");
    DeleteFileW(destinationPath.c_str());
    return false;
  }
  return true;
}

}  // namespace velmora

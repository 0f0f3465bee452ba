// The last resort for the package: the system's own URL download function, which uses the
// user's network and proxy settings. It applies none of the pinned downloader's rules; only the
// package checks that follow (signature, digest) guard what it fetched.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "base/setup_state.h"

namespace velmora {

// The longest the download may go without a byte arriving before it is aborted.
constexpr DWORD kSystemDownloadStallMilliseconds = 60000;

// Loads urlmon from the system folder for this one call and downloads url into
// destinationPath, deleting any earlier file there first. A download that receives no byte
// for stallMilliseconds is aborted and fails like any other; so is one whose stop is requested
// (the user cancelled), within a quarter of a second. On false, *error (when error is
// non-null) holds the reason; it is not touched on success.
[[nodiscard]] bool DownloadWithSystemDownloader(const std::string& url, const std::wstring& destinationPath,
                                                std::string* error,
                                                DWORD stallMilliseconds = kSystemDownloadStallMilliseconds,
                                                const std::function<bool()>& stopRequested = CancelRequested);

}  // namespace velmora

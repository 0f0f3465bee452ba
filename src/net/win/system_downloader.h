// The last resort for the package: the system's own URL download function, which uses the
// user's network and proxy settings. It applies none of the pinned downloader's rules; only the
// package checks that follow (signature, digest) guard what it fetched.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "base/setup_state.h"
#include "net/transfer_limits.h"

namespace velmora {

// The longest the download may go without a byte arriving before it is aborted.
constexpr DWORD kSystemDownloadStallMilliseconds = 60000;

// What one download through the system's function may cost; the tests shorten the times.
struct SystemDownloadLimits {
  DWORD stallMilliseconds = kSystemDownloadStallMilliseconds;
  std::uint64_t maxBytes = kMaxDownloadBytes;  // as the pinned downloader's when none is named
  MinimumRate minimumRate;
};

// Loads urlmon from the system folder for this one call and downloads url into
// destinationPath, deleting any earlier file there first. A download that receives no byte
// for the stall time, more than maxBytes, or fewer bytes than the minimum rate asks is aborted
// and fails, and its file is deleted; so is one whose stop is requested (the user cancelled),
// within a quarter of a second. On false, *error (when error is non-null) holds the reason; it
// is not touched on success.
[[nodiscard]] bool DownloadWithSystemDownloader(const std::string& url, const std::wstring& destinationPath,
                                                std::string* error, const SystemDownloadLimits& limits = {},
                                                const std::function<bool()>& stopRequested = CancelRequested);

}  // namespace velmora

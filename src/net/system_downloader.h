// The last resort for the package: the system's own URL download function, which uses the
// user's network and proxy settings. It applies none of the pinned downloader's rules; only the
// package checks that follow (signature, digest) guard what it fetched.
#pragma once

#include <string>

namespace velmora {

// Loads urlmon from the system folder for this one call and downloads url into
// destinationPath, deleting any earlier file there first. On false, *error (when error is
// non-null) holds the reason; it is not touched on success.
bool DownloadWithSystemDownloader(const std::string& url, const std::wstring& destinationPath,
                                  std::string* error);

}  // namespace velmora

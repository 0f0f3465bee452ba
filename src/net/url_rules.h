// The only URLs the pinned downloader will open: https, an allow-listed host, port 443.
#pragma once

#include <string>

namespace velmora {

// Splits an allowed URL into its lower-cased host and its path (query and fragment kept).
bool ParseAllowedHttpsUrl(const std::string& url, std::string& host, std::string& path);

// Exact match against the vendor's download hosts; host must already be lower case.
bool IsAllowedDownloadHost(const std::string& host);

}  // namespace velmora

// The reason that follows the download failure message, and the log's quoting of error texts.
#pragma once

#include <string>
#include <vector>

namespace velmora {

// The system downloader's own reason, unless it only gave up (a time-out, its stall abort or
// its minimum rate) after the pinned attempts had failed for a cause of their own: then the
// first pinned attempt's cause, in plain words with its code in brackets where the code is one
// of the network's known failures, or its text as it stands. Empty texts stand for no reason.
std::string DownloadFailureReason(const std::vector<std::string>& pinnedErrors,
                                  const std::string& systemError);

// The text without its final full stop, for log lines that end with their own.
std::string WithoutFinalStop(const std::string& text);

}  // namespace velmora

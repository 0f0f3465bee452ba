#include "workflow/download_failure_reason.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

// When the system downloader only gave up, the message says what went wrong first; otherwise
// it keeps the system downloader's own reason.
TEST(DownloadFailureReason, NamesTheFirstRealCauseWhenTheSystemDownloaderOnlyGaveUp) {
  const struct {
    const char* name;
    std::vector<std::string> pinned;
    std::string system;
    std::string reason;
  } cases[] = {
      {"black-holed host",
       {"Update download request failed (code 12002)", "Update download request failed (code 12002)"},
       "Windows downloader failed (0x80004004).",
       "The server did not answer (code 12002)."},
      {"reset mid-body",
       {"Update download read failed (code 12030)", "Update download request failed (code 12002)"},
       "Windows downloader failed (0x80004004).",
       "The connection was cut (code 12030)."},
      {"reset mid-body, then the system downloader below the minimum rate",
       {"Update download read failed (code 10054)", "Update download read failed (code 10054)"},
       "Windows downloader stopped: the download was slower than 64 KiB in 60 seconds.",
       "The connection was cut (code 10054)."},
      {"a trickle: the pinned attempts' own words",
       {"Update download was slower than 64 KiB in 60 seconds"},
       "Windows downloader stopped: the download was slower than 64 KiB in 60 seconds.",
       "Update download was slower than 64 KiB in 60 seconds"},
      {"socket reset",
       {"Update download read failed (code 10054)"},
       "Windows downloader failed (0x800C000B).",
       "The connection was cut (code 10054)."},
      {"socket time-out",
       {"Update download request failed (code 10060)"},
       "Windows downloader failed (0x80072EE2).",
       "The server did not answer (code 10060)."},
      {"name",
       {"Update download request failed (code 12007)"},
       "Windows downloader failed (0x80004004).",
       "The name could not be found (code 12007)."},
      {"refused",
       {"Update download request failed (code 12029)"},
       "Windows downloader failed (0x80004004).",
       "The server could not be reached (code 12029)."},
      {"secure channel",
       {"Update download request failed (code 12175)"},
       "Windows downloader failed (0x80004004).",
       "A secure connection could not be made (code 12175)."},
      {"a cause without a network code stays as it is",
       {"SPKI pin mismatch", "SPKI pin mismatch"},
       "Windows downloader failed (0x80004004).",
       "SPKI pin mismatch"},
      {"an unknown code stays as it is",
       {"Update download read failed (code 12345)"},
       "Windows downloader failed (0x80004004).",
       "Update download read failed (code 12345)"},
      {"the system downloader's own failure is kept",
       {"Update download request failed (code 12002)"},
       "Windows downloader failed (0x800C0005).",
       "Windows downloader failed (0x800C0005)."},
      {"the system downloader's size limit is its own cause",
       {"Update download read failed (code 10054)"},
       "Windows downloader stopped: the download exceeded the maximum download size.",
       "Windows downloader stopped: the download exceeded the maximum download size."},
      {"no system reason: the last pinned one",
       {"Update server returned HTTP 503", "Update server returned HTTP 404"},
       "",
       "Update server returned HTTP 404"},
      {"no pinned reason: the system's",
       {"", ""},
       "Windows downloader failed (0x80004004).",
       "Windows downloader failed (0x80004004)."},
      {"code text that is not at the end is no code",
       {"odd (code 12002) text"},
       "Windows downloader failed (0x80004004).",
       "odd (code 12002) text"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DownloadFailureReason(c.pinned, c.system), c.reason) << c.name;
  }
}

TEST(WithoutFinalStop, DropsOneFinalFullStopOnly) {
  EXPECT_EQ(WithoutFinalStop("Windows downloader failed (0x80004004)."),
            "Windows downloader failed (0x80004004)");
  EXPECT_EQ(WithoutFinalStop("Update server returned HTTP 404"), "Update server returned HTTP 404");
  EXPECT_EQ(WithoutFinalStop("Wait..."), "Wait..");
  EXPECT_EQ(WithoutFinalStop(""), "");
}

}  // namespace
}  // namespace velmora

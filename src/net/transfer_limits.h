// What any download may cost: at most so many bytes, and no slower than a minimum rate. Both
// downloaders apply the same limits: an endless body must not fill the system drive, and a
// download must not go on for hours at a trickle while the setup window cannot be closed.
#pragma once

#include <cstdint>
#include <deque>
#include <string>

namespace velmora {

// The largest body a download accepts when its caller names no other limit: 256 MiB. The setup
// asks 512 MiB for the package on either downloader, and 65,536 bytes for the manifest.
inline constexpr std::uint64_t kMaxDownloadBytes = 0x10000000;

// Fewer than minBytes in the last windowMs (counted once windowMs have passed since the start,
// so the connection and the first byte count too) ends the attempt. The program's own: 64 KiB
// in 60 s, about 1 KiB/s, at which a 30 MB package would take eight hours; any working link,
// a congested mobile one included, does hundreds of times better.
struct MinimumRate {
  std::uint64_t minBytes = 64 * 1024;
  std::uint64_t windowMs = 60000;
};

// The reason text's middle, e.g. "slower than 64 KiB in 60 seconds".
std::string SlowerThan(const MinimumRate& rate);

struct PaceSample {
  std::uint64_t atMs;
  std::uint64_t bytes;  // received in all by then
};

// The bytes seen over the recent past of one download: every note newer than the window and
// the last one before it, which the window's count is taken from.
struct TransferPace {
  MinimumRate rate;
  std::deque<PaceSample> samples;
};

// A pace that starts at startMs with nothing received.
TransferPace StartPace(const MinimumRate& rate, std::uint64_t startMs);

// Notes the bytes received in all by nowMs (times never go back).
void NotePace(TransferPace& pace, std::uint64_t nowMs, std::uint64_t totalBytes);

// True when, at nowMs, fewer than minBytes have arrived in the last windowMs.
[[nodiscard]] bool IsTooSlow(const TransferPace& pace, std::uint64_t nowMs);

}  // namespace velmora

#include "net/transfer_limits.h"

namespace velmora {
namespace {

constexpr std::uint64_t kKibibyte = 1024;
constexpr std::uint64_t kMillisecondsPerSecond = 1000;

// The start of the window that ends at nowMs, 0 while the window reaches before time 0.
std::uint64_t WindowStart(const TransferPace& pace, std::uint64_t nowMs) {
  return nowMs > pace.rate.windowMs ? nowMs - pace.rate.windowMs : 0;
}

}  // namespace

std::string SlowerThan(const MinimumRate& rate) {
  const std::string amount = rate.minBytes % kKibibyte == 0
                                 ? std::to_string(rate.minBytes / kKibibyte) + " KiB"
                                 : std::to_string(rate.minBytes) + " bytes";
  const std::string span = rate.windowMs % kMillisecondsPerSecond == 0
                               ? std::to_string(rate.windowMs / kMillisecondsPerSecond) + " seconds"
                               : std::to_string(rate.windowMs) + " milliseconds";
  return "slower than " + amount + " in " + span;
}

TransferPace StartPace(const MinimumRate& rate, std::uint64_t startMs) {
  TransferPace pace{rate, {}};
  pace.samples.push_back({startMs, 0});
  return pace;
}

void NotePace(TransferPace& pace, std::uint64_t nowMs, std::uint64_t totalBytes) {
  pace.samples.push_back({nowMs, totalBytes});
  // Only the last note at or before the window's start is still needed from before it.
  const std::uint64_t windowStart = WindowStart(pace, nowMs);
  while (pace.samples.size() > 1 && pace.samples[1].atMs <= windowStart) pace.samples.pop_front();
}

bool IsTooSlow(const TransferPace& pace, std::uint64_t nowMs) {
  if (pace.samples.empty() || nowMs - pace.samples.front().atMs < pace.rate.windowMs) return false;
  // The bytes since the last note at or before the window's start: at least what arrived
  // within the window, so a download is never called slow while it kept the rate.
  const std::uint64_t windowStart = WindowStart(pace, nowMs);
  std::uint64_t baseline = pace.samples.front().bytes;
  for (const PaceSample& sample : pace.samples) {
    if (sample.atMs > windowStart) break;
    baseline = sample.bytes;
  }
  return pace.samples.back().bytes - baseline < pace.rate.minBytes;
}

}  // namespace velmora

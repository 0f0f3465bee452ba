#include "net/transfer_limits.h"

#include <gtest/gtest.h>

#include <vector>

namespace velmora {
namespace {

constexpr std::uint64_t kSecond = 1000;

struct Arrival {
  std::uint64_t atMs;
  std::uint64_t bytes;  // arriving at that moment
};

struct PaceCase {
  const char* name;
  std::vector<Arrival> arrivals;  // in time order, after a start at 0
  std::uint64_t lastFineMs;       // still fine at this moment...
  std::uint64_t slowFromMs;       // ...and too slow from this one on (0: never within the case)
};

// Feeds the arrivals up to nowMs and asks.
bool TooSlowAt(const PaceCase& c, std::uint64_t nowMs) {
  TransferPace pace = StartPace(MinimumRate{}, 0);
  std::uint64_t total = 0;
  for (const Arrival& arrival : c.arrivals) {
    if (arrival.atMs > nowMs) break;
    total += arrival.bytes;
    NotePace(pace, arrival.atMs, total);
  }
  return IsTooSlow(pace, nowMs);
}

std::vector<Arrival> Steady(std::uint64_t bytesPerSecond, std::uint64_t fromMs, std::uint64_t untilMs) {
  std::vector<Arrival> arrivals;
  for (std::uint64_t at = fromMs; at <= untilMs; at += 100) arrivals.push_back({at, bytesPerSecond / 10});
  return arrivals;
}

class PaceTest : public ::testing::TestWithParam<PaceCase> {};

TEST_P(PaceTest, EndsTheAttemptOnlyWhenTheLastMinuteFellShortOf64KiB) {
  const PaceCase& c = GetParam();
  EXPECT_FALSE(TooSlowAt(c, c.lastFineMs));
  if (c.slowFromMs != 0) {
    EXPECT_TRUE(TooSlowAt(c, c.slowFromMs));
    EXPECT_TRUE(TooSlowAt(c, c.slowFromMs + 30 * kSecond));
  }
}

std::vector<Arrival> BurstThenTrickle() {
  std::vector<Arrival> arrivals{{500, 1 << 20}};
  for (const Arrival& a : Steady(100, 1000, 300 * kSecond)) arrivals.push_back(a);
  return arrivals;
}

INSTANTIATE_TEST_SUITE_P(
    Arrivals, PaceTest,
    ::testing::Values(
        // Nothing at all, not even the first byte: the connection's time counts.
        PaceCase{"NothingEver", {}, 59999, 60 * kSecond},
        // 2 KiB a second, twice the minimum, for five minutes.
        PaceCase{"SteadyAboveTheRate", Steady(2048, 100, 300 * kSecond), 300 * kSecond, 0},
        // 1,000 bytes a second is just under 64 KiB a minute.
        PaceCase{"TrickleJustUnderTheRate", Steady(1000, 100, 300 * kSecond), 59999, 60 * kSecond},
        // 1,100 bytes a second is just over it.
        PaceCase{"TrickleJustOverTheRate", Steady(1100, 100, 300 * kSecond), 300 * kSecond, 0},
        // A fast start does not buy time: once it has left the window, the trickle after it counts.
        PaceCase{"BurstThenTrickle", BurstThenTrickle(), 60 * kSecond, 61 * kSecond},
        // A pause after a good minute at 4 KiB a second ends the attempt once the last minute
        // holds less than 64 KiB of it, some 44 seconds into the pause.
        PaceCase{"GoodMinuteThenSilence", Steady(4096, 100, 60 * kSecond), 103 * kSecond, 105 * kSecond}),
    [](const ::testing::TestParamInfo<PaceCase>& info) { return std::string(info.param.name); });

TEST(TransferPace, KeepsOnlyTheWindowsNotesAndTheOneBeforeIt) {
  TransferPace pace = StartPace(MinimumRate{}, 0);
  for (std::uint64_t at = 1000; at <= 600 * kSecond; at += 1000) NotePace(pace, at, at * 10);
  ASSERT_FALSE(pace.samples.empty());
  EXPECT_EQ(pace.samples.front().atMs, 540 * kSecond);
  EXPECT_EQ(pace.samples.size(), 61u);
}

TEST(SlowerThan, NamesTheRateInKibibytesAndSeconds) {
  EXPECT_EQ(SlowerThan(MinimumRate{}), "slower than 64 KiB in 60 seconds");
  EXPECT_EQ(SlowerThan(MinimumRate{1000, 2500}), "slower than 1000 bytes in 2500 milliseconds");
}

TEST(MaxDownloadBytes, Is256MiB) { EXPECT_EQ(kMaxDownloadBytes, 268435456u); }

}  // namespace
}  // namespace velmora

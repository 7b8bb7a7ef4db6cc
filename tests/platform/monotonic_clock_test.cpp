// The monotonic clock of the Windows builds: the performance counter's advance checked against
// the tick count's.
#include "platform/win32/CounterCheck.h"

#include <gtest/gtest.h>
namespace platform {
namespace {

constexpr std::int64_t kMs = 1000;
constexpr std::int64_t kDay = 86'400'000 * kMs;
constexpr std::int64_t kTickWrap = (std::int64_t{1} << 32) * kMs;

TEST(MonotonicClock, TheCounterIsTakenUnlessTheTickCountGainsSays) {
    struct Case {
        const char* what;
        std::int64_t counted, ticked;
        bool counterTaken;
    };
    for (const Case c :
         {Case{"steps of the tick count", 20 * kMs, 31 * kMs, true},
          Case{"no tick yet", 20 * kMs, 0, true},
          Case{"an hour, rates 100 ppm apart", 3600'000 * kMs, 3600'360 * kMs, true},
          Case{"the counter jumped ahead", 5'000 * kMs, 15 * kMs, false},
          Case{"the counter went back", -3 * kMs, 16 * kMs, false},
          Case{"the counter ran twice as fast", 100 * kMs, 50 * kMs, false},
          Case{"across the tick count's wrap", 50 * kDay, 50 * kDay - kTickWrap, true},
          Case{"a jump across the wrap", 50 * kDay + 7200'000 * kMs, 50 * kDay - kTickWrap,
               false}}) {
        const CounterAdvance checked = CheckCounter(c.counted, c.ticked);
        EXPECT_EQ(checked.counterTaken, c.counterTaken) << c.what;
        EXPECT_EQ(checked.advance, c.counterTaken ? c.counted : c.ticked) << c.what;
    }
}

// A deadline wait spins on the clock for its last stretch, reading it every few counts: a million
// readings three counts apart at 10 MHz are 300 ms, however each one rounds.
TEST(MonotonicClock, ReadingsCloserThanAMicrosecondStillAddUp) {
    CounterTally tally(10'000'000, 5 * kMs);
    for (int reading = 0; reading < 1'000'000; ++reading) {
        tally.AddCounts(3);
    }
    EXPECT_EQ(tally.Microseconds(), 305 * kMs);
    tally.AddMicroseconds(16 * kMs); // where the counter jumped, the tick count's advance
    EXPECT_EQ(tally.Microseconds(), 321 * kMs);
}

} // namespace
} // namespace platform

// Waiting for an instant of the computer's clock, and the user's Ctrl-C, on the real clock.
#include "platform/DeadlineTimer.h"
#include "platform/Interruption.h"
#include "platform/LocalInstant.h"
#include "platform/LocalTime.h"
#include "platform/SystemClock.h"

#include <gtest/gtest.h>
#include <thread>

namespace {

constexpr std::int64_t kMillisecond = 1000;

} // namespace

TEST(DeadlineTimer, EndsWhenTheClockReadsTheDeadlineAndNotLongAfter) {
    const platform::Interruption interruption;
    platform::DeadlineTimer timer;
    ASSERT_TRUE(timer.Ready());
    for (int round = 0; round < 3; ++round) {
        const std::int64_t deadline = platform::SystemClockMicroseconds() + 150 * kMillisecond;
        EXPECT_EQ(timer.WaitUntil(deadline, interruption), platform::DeadlineWait::Reached);
        const std::int64_t woken = platform::SystemClockMicroseconds();
        EXPECT_GE(woken, deadline);
        // A generous bound: the figures belong to the benchmark.
        EXPECT_LT(woken, deadline + 100 * kMillisecond);
    }
    const std::int64_t past = platform::SystemClockMicroseconds() - 5'000 * kMillisecond;
    EXPECT_EQ(timer.WaitUntil(past, interruption), platform::DeadlineWait::Reached);
}

TEST(DeadlineTimer, CtrlCEndsAWaitAtOnceAndEveryWaitAfterIt) {
    platform::Interruption interruption;
    platform::DeadlineTimer timer;
    const std::int64_t started = platform::SystemClockMicroseconds();
    std::thread user([&interruption] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        interruption.Request();
    });
    EXPECT_EQ(timer.WaitUntil(started + 60'000 * kMillisecond, interruption),
              platform::DeadlineWait::Interrupted);
    user.join();
    EXPECT_LT(platform::SystemClockMicroseconds() - started, 10'000 * kMillisecond);
    EXPECT_TRUE(interruption.Requested());
    EXPECT_EQ(timer.WaitUntil(started + 60'000 * kMillisecond, interruption),
              platform::DeadlineWait::Interrupted);
}

TEST(SystemClock, ItsLocalTimeIsTheLocalClocks) {
    const LocalInstant before = platform::ReadLocalTime();
    const LocalInstant at = platform::LocalTimeAt(platform::SystemClockMicroseconds());
    const LocalInstant after = platform::ReadLocalTime();
    // The local clock reads to the millisecond (Windows XP to its tick): a little slack.
    EXPECT_GE(MillisecondsBetween(before, at), -20);
    EXPECT_GE(MillisecondsBetween(at, after), -20);
    EXPECT_LT(MillisecondsBetween(before, after), 2'000);
    EXPECT_EQ(at.m_weekday, WeekdayOf(at.m_year, at.m_month, at.m_day));
}

// The plan of one sequence, as the window's command and kalvor-sync make it: pure computation,
// on a clock that the test sets.
#include "timeset/SequencePlan.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

constexpr std::int64_t kSecond = 1'000'000;

// A local instant with the weekday of its date.
LocalInstant At(int year, int month, int day, int hour, int minute, int second,
                int milliseconds = 0) {
    return {year, month, day, WeekdayOf(year, month, day), hour, minute, second, milliseconds};
}

std::int64_t FirstWriteAfterPlanning(std::int64_t now) {
    return now + kPlanningLeadMicroseconds;
}

SequencePlan PlanOnCivilClock(std::int64_t now, bool align, std::int64_t latency) {
    return PlanSequence(ChooseDeviceSetInstant(now, align, latency), latency, &CivilClockTime);
}

} // namespace

TEST(SequencePlan, AlignedSetsTheDeviceAtTheFirstTopOfASecondItCanStillReach) {
    const std::int64_t start = CivilClockInstant(At(2016, 4, 12, 9, 5, 28));
    for (std::int64_t latency : {std::int64_t{0}, std::int64_t{250'000}, std::int64_t{-40'000}}) {
        for (std::int64_t step = 0; step < 2 * kSecond; step += 37'013) {
            const std::int64_t now = start + step;
            const SequencePlan plan = PlanOnCivilClock(now, true, latency);
            SCOPED_TRACE(testing::Message() << "now +" << step << " us, latency " << latency);
            EXPECT_EQ(plan.m_deviceSetAt % kSecond, 0);
            EXPECT_GE(plan.m_writeAt[0], FirstWriteAfterPlanning(now));
            // One second earlier would have needed the first frame before it could go.
            EXPECT_LT(plan.m_writeAt[0] - kSecond, FirstWriteAfterPlanning(now));
            // The seconds frame's last byte is on the line `latency` before the device takes it.
            EXPECT_EQ(plan.m_writeAt[6] + kFrameLineMicroseconds + latency, plan.m_deviceSetAt);
            for (int index = 1; index < kFramesPerSequence; ++index) {
                EXPECT_EQ(plan.m_writeAt[index] - plan.m_writeAt[index - 1],
                          kFramePeriodMicroseconds);
            }
            EXPECT_EQ(plan.m_instant.m_milliseconds, 0);
            EXPECT_EQ(plan.m_instant, CivilClockTime(plan.m_deviceSetAt));
        }
    }
}

TEST(SequencePlan, NotAlignedStartsAtOnceAndCarriesTheSecondItsLastFrameLandsIn) {
    const std::int64_t now = CivilClockInstant(At(2016, 4, 12, 9, 5, 28)) + 900'000;
    const SequencePlan plan = PlanOnCivilClock(now, false, 0);
    EXPECT_EQ(plan.m_writeAt[0], FirstWriteAfterPlanning(now));
    EXPECT_EQ(plan.m_writeAt[6] + kFrameLineMicroseconds, plan.m_deviceSetAt);
    // 28.900 + 0.020 + 1.2 + 0.004 lands at 30.124: the frames say 30.
    EXPECT_EQ(plan.m_frames[6], (TimeFrame{0xF6, 0x07, 0x30, 0xD2}));
    EXPECT_EQ(plan.m_instant.m_milliseconds, 124);
}

TEST(SequencePlan, AllSevenFramesCarryTheInstantTheDeviceIsSetAtAcrossNewYear) {
    const SequencePlan plan =
        PlanSequence(CivilClockInstant(At(2017, 1, 1, 0, 0, 0)), 0, &CivilClockTime);
    EXPECT_EQ(CivilClockTime(plan.m_writeAt[0]), At(2016, 12, 31, 23, 59, 58, 795));
    EXPECT_EQ(CivilClockTime(plan.m_writeAt[6]), At(2016, 12, 31, 23, 59, 59, 995));
    const std::vector<TimeFrame> expected = {{0xF6, 0x01, 0x17, 0xF1}, {0xF6, 0x02, 0x01, 0x06},
                                             {0xF6, 0x03, 0x01, 0x05}, {0xF6, 0x04, 0x00, 0x05},
                                             {0xF6, 0x05, 0x00, 0x04}, {0xF6, 0x06, 0x00, 0x03},
                                             {0xF6, 0x07, 0x00, 0x02}};
    EXPECT_EQ(std::vector<TimeFrame>(plan.m_frames.begin(), plan.m_frames.end()), expected);
}

TEST(SequencePlan, TheCivilClockCountsLocalTimeBothWays) {
    const LocalInstant leapDay{2016, 2, 29, 1, 23, 59, 59, 999};
    EXPECT_EQ(CivilClockTime(CivilClockInstant(leapDay)), leapDay);
    EXPECT_EQ(CivilClockTime(CivilClockInstant(leapDay) + 1000), At(2016, 3, 1, 0, 0, 0));
    // Before 1970 the milliseconds still count forwards within their second.
    EXPECT_EQ(CivilClockTime(-1), At(1969, 12, 31, 23, 59, 59, 999));
}

// The window's sequence: its first frame goes at the first tick and the rest a tick apart; all
// seven carry the local time at which the seconds frame lands, 1200 ms and one frame's line time
// later, whatever they cross on the way.
TEST(SequencePlan, TheWindowsSequenceCarriesTheSecondItsSecondsFrameLandsIn) {
    const auto planFrom = [](const LocalInstant& firstTick) {
        return PlanSequenceFrom(CivilClockInstant(firstTick), &CivilClockTime);
    };
    const SequencePlan plan = planFrom(At(2016, 4, 12, 9, 5, 30, 100));
    EXPECT_EQ(plan.m_writeAt[0], CivilClockInstant(At(2016, 4, 12, 9, 5, 30, 100)));
    EXPECT_EQ(plan.m_writeAt[6] - plan.m_writeAt[0], 6 * kFramePeriodMicroseconds);
    EXPECT_EQ(WholeSecondOf(plan.m_instant), At(2016, 4, 12, 9, 5, 31));

    // Landing just before midnight of New Year's Eve, and just after it.
    EXPECT_EQ(WholeSecondOf(planFrom(At(2016, 12, 31, 23, 59, 58, 795)).m_instant),
              At(2016, 12, 31, 23, 59, 59));
    const SequencePlan newYear = planFrom(At(2016, 12, 31, 23, 59, 58, 796));
    EXPECT_EQ(WholeSecondOf(newYear.m_instant), At(2017, 1, 1, 0, 0, 0));
    EXPECT_EQ(newYear.m_frames[0], (TimeFrame{0xF6, 0x01, 0x17, 0xF1}));
    EXPECT_EQ(newYear.m_frames[3], (TimeFrame{0xF6, 0x04, 0x00, 0x05})) << "a Sunday";
}

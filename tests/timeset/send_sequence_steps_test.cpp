// The window's time-set sequence as its timer drives it, with a clock the test sets.
#include "timeset/SendSequence.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

LocalInstant At(int year, int month, int day, int hour, int minute, int second, int ms) {
    return {year, month, day, WeekdayOf(year, month, day), hour, minute, second, ms};
}

std::vector<TimeFrame> FramesOf(const LocalInstant& time) {
    std::vector<TimeFrame> frames;
    for (int index = 0; index < kFramesPerSequence; ++index) {
        frames.push_back(BuildTimeFrame(time, *FrameStep::At(index)));
    }
    return frames;
}

// A clock that reads what the test set and counts its readings.
struct CountingClock {
    LocalInstant now;
    int reads = 0;
    SendSequence::ReadClock Reader() {
        return [this] {
            ++reads;
            return now;
        };
    }
};

std::vector<TimeFrame> Ticks(SendSequence& sequence, CountingClock& clock, int count) {
    std::vector<TimeFrame> frames;
    for (int tick = 0; tick < count; ++tick) {
        frames.push_back(sequence.NextFrame(clock.Reader()));
        // The clock runs on between ticks; the frames must not follow it.
        clock.now = AddMilliseconds(clock.now, 200);
    }
    return frames;
}

} // namespace

// 23:59:59.500 on New Year's Eve: the seconds frame lands 1.2 s later, in the new year, and all
// seven frames say so, though the year frame goes out while the old year still runs.
TEST(SendSequenceSteps, SevenFramesOfOneInstantFromOneReading) {
    CountingClock clock{At(2016, 12, 31, 23, 59, 59, 500)};
    SendSequence sequence;
    EXPECT_TRUE(sequence.Idle());
    std::vector<TimeFrame> frames;
    for (int step = 0; step < kFramesPerSequence; ++step) {
        EXPECT_EQ(sequence.Step(), step);
        frames.push_back(Ticks(sequence, clock, 1).front());
    }
    EXPECT_EQ(frames, FramesOf({2017, 1, 1, 0, 0, 0, 0}));
    EXPECT_EQ(clock.reads, 1) << "the clock is read at the first frame only";
    EXPECT_TRUE(sequence.Idle()) << "back to the year after the seconds frame";
}

TEST(SendSequenceSteps, NextSequencePlansAnewAndAPauseKeepsThePlan) {
    CountingClock clock{At(2016, 4, 12, 9, 5, 30, 100)};
    SendSequence sequence;
    EXPECT_EQ(Ticks(sequence, clock, kFramesPerSequence), FramesOf({2016, 4, 12, 2, 9, 5, 31}));

    clock.now = At(2017, 1, 1, 0, 0, 7, 0);
    std::vector<TimeFrame> frames = Ticks(sequence, clock, 3);
    // A click during the sequence delays the next tick; the rest keeps the planned instant.
    clock.now = AddMilliseconds(clock.now, 60 * 60 * 1000);
    const std::vector<TimeFrame> rest = Ticks(sequence, clock, 4);
    frames.insert(frames.end(), rest.begin(), rest.end());
    EXPECT_EQ(frames, FramesOf({2017, 1, 1, 0, 0, 0, 8}));
    EXPECT_EQ(clock.reads, 2);
}

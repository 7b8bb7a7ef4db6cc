// The time-set frames, checked against the device's published example and its check-byte rule.
// The same source runs natively and, in the Windows build, under Wine.
#include "timeset/TimeFrame.h"

#include <gtest/gtest.h>

namespace {

TimeFrame FrameAt(const LocalInstant& snapshot, int index) {
    return BuildTimeFrame(snapshot, FrameStep::At(index).value());
}

// Tuesday 12 April 2016, 9:05:30.
constexpr LocalInstant kTuesdayExample{2016, 4, 12, 2, 9, 5, 30};

TEST(TimeFrame, ExampleSequenceMatchesTheDeviceTable) {
    const TimeFrame expected[kFramesPerSequence] = {
        {0xF6, 0x01, 0x16, 0xF2}, {0xF6, 0x02, 0x04, 0x03}, {0xF6, 0x03, 0x12, 0xF4},
        {0xF6, 0x04, 0x02, 0x03}, {0xF6, 0x05, 0x09, 0xFB}, {0xF6, 0x06, 0x05, 0xFE},
        {0xF6, 0x07, 0x30, 0xD2},
    };
    for (int step = 0; step < kFramesPerSequence; ++step) {
        EXPECT_EQ(FrameAt(kTuesdayExample, step), expected[step]) << "step " << step;
    }
}

TEST(TimeFrame, WeekdayIsSentAsPlainNumberWithSundayZero) {
    LocalInstant sunday = kTuesdayExample;
    sunday.m_weekday = 0;
    EXPECT_EQ(FrameAt(sunday, 3), (TimeFrame{0xF6, 0x04, 0x00, 0x05}));

    LocalInstant saturday = kTuesdayExample;
    saturday.m_weekday = 6;
    EXPECT_EQ(FrameAt(saturday, 3), (TimeFrame{0xF6, 0x04, 0x06, 0xFF}));
}

TEST(TimeFrame, YearSendsOnlyItsLastTwoDigits) {
    LocalInstant y2000 = kTuesdayExample;
    y2000.m_year = 2000;
    EXPECT_EQ(FrameAt(y2000, 0), (TimeFrame{0xF6, 0x01, 0x00, 0x08}));

    LocalInstant y2099 = kTuesdayExample;
    y2099.m_year = 2099;
    EXPECT_EQ(FrameAt(y2099, 0)[2], 0x99);
}

TEST(TimeFrame, MidnightOnNewYearsDay2017) {
    const LocalInstant midnight{2017, 1, 1, 0, 0, 0, 0};
    EXPECT_EQ(FrameAt(midnight, 0), (TimeFrame{0xF6, 0x01, 0x17, 0xF1}));
    EXPECT_EQ(FrameAt(midnight, 4), (TimeFrame{0xF6, 0x05, 0x00, 0x04}));
    EXPECT_EQ(FrameAt(midnight, 5), (TimeFrame{0xF6, 0x06, 0x00, 0x03}));
    EXPECT_EQ(FrameAt(midnight, 6), (TimeFrame{0xF6, 0x07, 0x00, 0x02}));
}

// Every field at every value 0..99: the value byte is the BCD of the decimal digits, the check
// byte is ~(value - K) with K = 10 - field number, and the frame sums to 0xFF.
TEST(TimeFrame, CheckByteRuleHoldsForEveryFieldAndValue) {
    for (int step = 0; step < kFramesPerSequence; ++step) {
        for (int value = 0; value <= 99; ++value) {
            LocalInstant snapshot{value, value, value, value, value, value, value};
            const TimeFrame frame = FrameAt(snapshot, step);
            const int field = step + 1;
            const int k = 10 - field;
            const int expectedValue = step == 3 ? value : (value / 10) << 4 | (value % 10);

            SCOPED_TRACE(testing::Message() << "step " << step << " value " << value);
            EXPECT_EQ(frame[0], 0xF6);
            EXPECT_EQ(frame[1], field);
            EXPECT_EQ(frame[2], expectedValue);
            EXPECT_EQ(frame[3], static_cast<std::uint8_t>(~(frame[2] - k)));
            EXPECT_EQ((frame[0] + frame[1] + frame[2] + frame[3]) % 256, 0xFF);
        }
    }
}

TEST(FrameStep, OnlyTheSevenStepsExist) {
    EXPECT_FALSE(FrameStep::At(-1).has_value());
    EXPECT_FALSE(FrameStep::At(7).has_value());
    EXPECT_FALSE(FrameStep::At(INT32_MIN).has_value());
    for (int index = 0; index < kFramesPerSequence; ++index) {
        ASSERT_TRUE(FrameStep::At(index).has_value());
        EXPECT_EQ(FrameStep::At(index)->Index(), index);
    }
    EXPECT_EQ(FrameStep::First().Index(), 0);
}

} // namespace

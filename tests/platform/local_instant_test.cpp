// Calendar arithmetic on local instants: every carry, leap years, weekdays, differences.
// The same source runs natively and, in the Windows build, under Wine.
#include "platform/LocalInstant.h"

#include <gtest/gtest.h>

namespace {

// Weekday is filled in by the expectation's own reckoning, so a test states it where it matters.
LocalInstant At(int year, int month, int day, int weekday, int hour, int minute, int second,
                int milliseconds = 0) {
    return {year, month, day, weekday, hour, minute, second, milliseconds};
}

TEST(LocalInstant, CarriesThroughEveryFieldUpToTheYear) {
    // Half a second past 23:59:59.5 on 31 December 2016 (a Saturday) is New Year's Day, a Sunday.
    EXPECT_EQ(AddMilliseconds(At(2016, 12, 31, 6, 23, 59, 59, 500), 500),
              At(2017, 1, 1, 0, 0, 0, 0, 0));
    // Minute and hour carries.
    EXPECT_EQ(AddMilliseconds(At(2016, 4, 12, 2, 9, 5, 59, 900), 200),
              At(2016, 4, 12, 2, 9, 6, 0, 100));
    EXPECT_EQ(AddMilliseconds(At(2016, 4, 12, 2, 9, 59, 59, 999), 1),
              At(2016, 4, 12, 2, 10, 0, 0, 0));
    // Day and month carries, into a 30-day month and out of one.
    EXPECT_EQ(AddMilliseconds(At(2016, 3, 31, 4, 23, 59, 59, 0), 1000),
              At(2016, 4, 1, 5, 0, 0, 0, 0));
    EXPECT_EQ(AddMilliseconds(At(2016, 4, 30, 6, 12, 0, 0, 0), 86'400'000),
              At(2016, 5, 1, 0, 12, 0, 0, 0));
    // A sequence's worth: the reading at the first tick plus six ticks of 200 ms.
    EXPECT_EQ(AddMilliseconds(At(2016, 12, 31, 6, 23, 59, 58, 950), 6 * 200),
              At(2017, 1, 1, 0, 0, 0, 0, 150));
}

TEST(LocalInstant, LeapYearsFollowThe4And100And400Rules) {
    EXPECT_EQ(AddMilliseconds(At(2016, 2, 28, 0, 23, 59, 59, 999), 1),
              At(2016, 2, 29, 1, 0, 0, 0, 0));
    EXPECT_EQ(AddMilliseconds(At(2000, 2, 28, 1, 23, 59, 59, 999), 1),
              At(2000, 2, 29, 2, 0, 0, 0, 0));
    EXPECT_EQ(AddMilliseconds(At(2100, 2, 28, 0, 23, 59, 59, 999), 1),
              At(2100, 3, 1, 1, 0, 0, 0, 0));
    EXPECT_EQ(AddMilliseconds(At(2017, 2, 28, 2, 23, 59, 59, 999), 1),
              At(2017, 3, 1, 3, 0, 0, 0, 0));

    EXPECT_TRUE(IsLeapYear(2016));
    EXPECT_TRUE(IsLeapYear(2000));
    EXPECT_FALSE(IsLeapYear(2100));
    EXPECT_FALSE(IsLeapYear(1900));
    EXPECT_FALSE(IsLeapYear(2017));
    EXPECT_EQ(DaysInMonth(2016, 2), 29);
    EXPECT_EQ(DaysInMonth(2100, 2), 28);
    EXPECT_EQ(DaysInMonth(2000, 2), 29);
    EXPECT_EQ(DaysInMonth(2016, 4), 30);
    EXPECT_EQ(DaysInMonth(2016, 12), 31);
    EXPECT_EQ(DaysInMonth(2016, 13), 0);

    // A whole leap year is 366 days, a common one 365, a century one that is not a 400th 365.
    EXPECT_EQ(MillisecondsBetween(At(2016, 1, 1, 5, 0, 0, 0), At(2017, 1, 1, 0, 0, 0, 0)),
              366LL * 86'400'000);
    EXPECT_EQ(MillisecondsBetween(At(2100, 1, 1, 5, 0, 0, 0), At(2101, 1, 1, 0, 0, 0, 0)),
              365LL * 86'400'000);
    EXPECT_EQ(MillisecondsBetween(At(2000, 1, 1, 6, 0, 0, 0), At(2400, 1, 1, 0, 0, 0, 0)),
              146'097LL * 86'400'000);
}

TEST(LocalInstant, NegativeOffsetsBorrowBackThroughEveryField) {
    EXPECT_EQ(AddMilliseconds(At(2017, 1, 1, 0, 0, 0, 0, 100), -200),
              At(2016, 12, 31, 6, 23, 59, 59, 900));
    EXPECT_EQ(AddMilliseconds(At(2016, 3, 1, 2, 0, 0, 0, 0), -1),
              At(2016, 2, 29, 1, 23, 59, 59, 999));
    EXPECT_EQ(AddMilliseconds(At(2100, 3, 1, 1, 0, 0, 0, 0), -1),
              At(2100, 2, 28, 0, 23, 59, 59, 999));
    EXPECT_EQ(AddMilliseconds(At(2016, 4, 12, 2, 9, 5, 30, 0), -86'400'000LL * 366),
              At(2015, 4, 12, 0, 9, 5, 30, 0));
}

TEST(LocalInstant, WeekdayIsRecomputedAfterCarriesAndIgnoredOnInput) {
    // The input's weekday is wrong on purpose: the result's comes from the date.
    EXPECT_EQ(AddMilliseconds(At(2016, 4, 12, 5, 9, 5, 30), 0).m_weekday, 2);
    EXPECT_EQ(WeekdayOf(2016, 4, 12), 2);  // Tuesday
    EXPECT_EQ(WeekdayOf(2000, 1, 1), 6);   // Saturday
    EXPECT_EQ(WeekdayOf(1970, 1, 1), 4);   // Thursday
    EXPECT_EQ(WeekdayOf(1969, 12, 31), 3); // Wednesday, before the reckoning's start
    EXPECT_EQ(WeekdayOf(2100, 3, 1), 1);   // Monday
    // Seven days on from any day is the same weekday; one day on is the next.
    LocalInstant day = At(2016, 2, 27, 6, 12, 0, 0);
    for (int i = 0; i < 800; ++i) {
        const LocalInstant next = AddMilliseconds(day, 86'400'000);
        EXPECT_EQ(next.m_weekday, (day.m_weekday + 1) % 7) << i;
        EXPECT_EQ(next.m_weekday, WeekdayOf(next.m_year, next.m_month, next.m_day));
        day = next;
    }
    EXPECT_EQ(day, At(2018, 5, 7, 1, 12, 0, 0));
}

TEST(LocalInstant, DifferenceIsSignedAndUndoesAnOffset) {
    const LocalInstant start = At(2016, 12, 31, 6, 23, 59, 59, 500);
    for (std::int64_t offset :
         {0LL, 1LL, -1LL, 500LL, -1'200LL, 86'400'000LL * 400, -3'600'001LL}) {
        const LocalInstant moved = AddMilliseconds(start, offset);
        EXPECT_EQ(MillisecondsBetween(start, moved), offset);
        EXPECT_EQ(MillisecondsBetween(moved, start), -offset);
    }
    EXPECT_EQ(MillisecondsBetween(At(2016, 4, 12, 2, 9, 5, 30, 412), At(2016, 4, 12, 2, 9, 5, 30)),
              -412);
}

TEST(LocalInstant, FieldsOutOfRangeCarryInsteadOfFailing) {
    EXPECT_EQ(AddMilliseconds(At(2016, 4, 31, 0, 0, 0, 0), 0), At(2016, 5, 1, 0, 0, 0, 0));
    EXPECT_EQ(AddMilliseconds(At(2016, 13, 1, 0, 0, 0, 0), 0), At(2017, 1, 1, 0, 0, 0, 0));
    EXPECT_EQ(AddMilliseconds(At(2016, 1, 1, 0, 24, 0, 0), 0), At(2016, 1, 2, 6, 0, 0, 0));
    // The all-zero reading before any refresh is a defined instant too: 1 January of year 0 less
    // a day and a month, i.e. 30 November of year -1.
    EXPECT_EQ(AddMilliseconds(LocalInstant{}, 0).m_month, 11);
}

} // namespace

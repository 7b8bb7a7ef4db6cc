// The clock display's texts: pure functions of one reading and the settings file's names.
#include "clock/ClockTexts.h"

#include <gtest/gtest.h>

namespace {

SettingsTexts Weekdays() {
    SettingsTexts texts;
    texts.m_textSunday = "Sun";
    texts.m_textMonday = "Mon";
    texts.m_textTuesday = "Tue";
    texts.m_textWednesday = "Wed";
    texts.m_textThursday = "Thu";
    texts.m_textFriday = "Fri";
    texts.m_textSaturday = "Sat";
    return texts;
}

} // namespace

TEST(ClockTexts, DateAndTimeAsTheLabelsShowThem) {
    EXPECT_EQ(DateText({2016, 3, 5, 6, 9, 5, 30}), "2016-03-05");
    EXPECT_EQ(TimeText({2016, 3, 5, 6, 9, 5, 30}), " 9:05:30") << "a blank, not a zero, before 9";
    EXPECT_EQ(TimeText({2016, 3, 5, 6, 23, 59, 7}), "23:59:07");
    EXPECT_EQ(TimeText({2016, 3, 6, 0, 0, 0, 0, 999}), " 0:00:00") << "milliseconds are not shown";
    // The snapshot before the first reading is all zero; it still formats.
    EXPECT_EQ(DateText({}), "   0-00-00");
}

TEST(ClockTexts, WeekdayNameByThePlatformsNumberSundayFirst) {
    const SettingsTexts texts = Weekdays();
    const char* const expected[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    for (int weekday = 0; weekday < 7; ++weekday) {
        EXPECT_EQ(WeekdayText({2016, 3, 6 + weekday, weekday, 12, 0, 0}, texts), expected[weekday]);
    }
    for (int weekday : {-1, 7, 100}) {
        EXPECT_EQ(WeekdayText({2016, 3, 6, weekday, 12, 0, 0}, texts), "") << weekday;
    }
    // An empty name from the file leaves the label empty on that day only.
    SettingsTexts noMonday = texts;
    noMonday.m_textMonday.clear();
    EXPECT_EQ(WeekdayText({2016, 3, 7, 1, 12, 0, 0}, noMonday), "");
    EXPECT_EQ(WeekdayText({2016, 3, 8, 2, 12, 0, 0}, noMonday), "Tue");
}

TEST(ClockTexts, OnlyTheWholeSecondOfMidnightIsMidnight) {
    EXPECT_TRUE(IsMidnight({2016, 3, 6, 0, 0, 0, 0}));
    EXPECT_TRUE(IsMidnight({2016, 3, 6, 0, 0, 0, 0, 900}));
    EXPECT_FALSE(IsMidnight({2016, 3, 6, 0, 0, 0, 1}));
    EXPECT_FALSE(IsMidnight({2016, 3, 6, 0, 0, 1, 0}));
    EXPECT_FALSE(IsMidnight({2016, 3, 6, 0, 12, 0, 0}));
}

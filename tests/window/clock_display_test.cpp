// The clock display of the main dialog with a clock the test sets. Compiled with the execution
// character set CP936, as the program is.
#include "DialogProbe.h"

#include <gtest/gtest.h>

namespace {

// The Chinese weekday names, in the code page 936 the program's own settings file uses.
const std::string kWeekdays =
    "[week ini]\r\nMonday=星期一\r\nTuesday=星期二\r\nWednesday=星期三\r\n"
    "Thursday=星期四\r\nFriday=星期五\r\nSaturday=星期六\r\nSunday=星期日\r\n";

LocalInstant At(int year, int month, int day, int weekday, int hour, int minute, int second) {
    return {year, month, day, weekday, hour, minute, second};
}

// A clock that reads what the test set, and counts the readings.
struct FakeClock {
    LocalInstant now{};
    int reads = 0;
    ClockSource Source() {
        return [this] {
            ++reads;
            return now;
        };
    }
};

// Runs the dialog with the clock at `start` and a settings file of `settings` beside the test
// program, then the script.
void RunDialog(FakeClock& clock, const LocalInstant& start,
               const std::function<void(KalvorDlgProbe&)>& script,
               const std::string& settings = kWeekdays) {
    const SettingsFileBeside file(settings);
    clock.now = start;
    bool ran = false;
    KalvorDlgProbe dialog(clock.Source(), [&](KalvorDlgProbe& probe) {
        script(probe);
        ran = true;
    });
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_TRUE(ran) << "the dialog did not run its script";
}

} // namespace

TEST(ClockDisplay, FormatsDateAndTime) {
    FakeClock clock;
    RunDialog(clock, At(2016, 3, 5, 6, 9, 5, 30), [&](KalvorDlgProbe& dialog) {
        EXPECT_EQ(dialog.Label(IDC_DATE_TEXT), "2016-03-05");
        EXPECT_EQ(dialog.Label(IDC_TIME_TEXT), " 9:05:30") << "a blank, not a zero, before 9";
        EXPECT_EQ(dialog.Label(IDC_WEEKDAY_TEXT), "星期六");

        clock.now = At(2016, 3, 5, 6, 23, 59, 7);
        dialog.Tick(TIMER_CLOCK);
        EXPECT_EQ(dialog.Label(IDC_TIME_TEXT), "23:59:07");
        EXPECT_EQ(dialog.Snapshot(), (LocalInstant{2016, 3, 5, 6, 23, 59, 7}));
    });
}

TEST(ClockDisplay, TimeTickChangesOnlyTheTimeLabel) {
    FakeClock clock;
    RunDialog(clock, At(2016, 4, 12, 2, 10, 0, 0), [&](KalvorDlgProbe& dialog) {
        clock.now = At(2016, 4, 13, 3, 10, 0, 1); // the date changed: only a full refresh shows it
        const int reads = clock.reads;
        dialog.Tick(TIMER_CLOCK);
        EXPECT_EQ(clock.reads, reads + 1);
        EXPECT_EQ(dialog.Label(IDC_TIME_TEXT), "10:00:01");
        EXPECT_EQ(dialog.Label(IDC_DATE_TEXT), "2016-04-12");
        EXPECT_EQ(dialog.Label(IDC_WEEKDAY_TEXT), "星期二");
        // ...but the snapshot, which the time-set frames send, has the whole reading.
        EXPECT_EQ(dialog.Snapshot(), (LocalInstant{2016, 4, 13, 3, 10, 0, 1}));

        dialog.Tick(TIMER_REFRESH);
        EXPECT_EQ(dialog.Label(IDC_DATE_TEXT), "2016-04-13");
        EXPECT_EQ(dialog.Label(IDC_WEEKDAY_TEXT), "星期三");
    });
}

TEST(ClockDisplay, EveryTickReadingMidnightRunsFullRefresh) {
    FakeClock clock;
    RunDialog(clock, At(2016, 3, 5, 6, 23, 59, 59), [&](KalvorDlgProbe& dialog) {
        clock.now = At(2016, 3, 6, 0, 0, 0, 0);
        const int reads = clock.reads;
        dialog.Tick(TIMER_CLOCK);
        EXPECT_EQ(clock.reads, reads + 2) << "the full refresh reads the clock again";
        EXPECT_EQ(dialog.Label(IDC_DATE_TEXT), "2016-03-06");
        EXPECT_EQ(dialog.Label(IDC_WEEKDAY_TEXT), "星期日") << "Sunday's name on a Sunday";
        EXPECT_EQ(dialog.Label(IDC_TIME_TEXT), " 0:00:00");

        // A second tick in the same second refreshes everything again.
        dialog.SetLabel(IDC_DATE_TEXT, "stale");
        dialog.SetLabel(IDC_WEEKDAY_TEXT, "stale");
        dialog.Tick(TIMER_CLOCK);
        EXPECT_EQ(clock.reads, reads + 4);
        EXPECT_EQ(dialog.Label(IDC_DATE_TEXT), "2016-03-06");
        EXPECT_EQ(dialog.Label(IDC_WEEKDAY_TEXT), "星期日");
    });
}

TEST(ClockDisplay, TickThatMissesMidnightLeavesDateToRefreshTimer) {
    FakeClock clock;
    RunDialog(clock, At(2016, 12, 31, 6, 23, 59, 59), [&](KalvorDlgProbe& dialog) {
        clock.now = At(2017, 1, 1, 0, 0, 0, 1);
        dialog.Tick(TIMER_CLOCK);
        EXPECT_EQ(dialog.Label(IDC_TIME_TEXT), " 0:00:01");
        EXPECT_EQ(dialog.Label(IDC_DATE_TEXT), "2016-12-31");
        dialog.Tick(TIMER_REFRESH);
        EXPECT_EQ(dialog.Label(IDC_DATE_TEXT), "2017-01-01");
        EXPECT_EQ(dialog.Label(IDC_WEEKDAY_TEXT), "星期日");
    });
}

TEST(ClockDisplay, EmptyWeekdayNameLeavesLabelEmpty) {
    FakeClock clock;
    const std::string noMonday = "[week ini]\r\nSunday=星期日\r\nTuesday=星期二\r\n";
    RunDialog(
        clock, At(2016, 3, 7, 1, 12, 30, 0),
        [&](KalvorDlgProbe& dialog) {
            EXPECT_EQ(dialog.Label(IDC_WEEKDAY_TEXT), "");
            EXPECT_EQ(dialog.Label(IDC_DATE_TEXT), "2016-03-07");
            EXPECT_EQ(dialog.Label(IDC_TIME_TEXT), "12:30:00");
            clock.now = At(2016, 3, 8, 2, 12, 30, 0);
            dialog.Tick(TIMER_REFRESH);
            EXPECT_EQ(dialog.Label(IDC_WEEKDAY_TEXT), "星期二");
        },
        noMonday);
}

TEST(ClockDisplay, OtherTimerNumbersChangeNothing) {
    FakeClock clock;
    RunDialog(clock, At(2016, 3, 5, 6, 8, 0, 0), [&](KalvorDlgProbe& dialog) {
        clock.now = At(2017, 6, 6, 2, 9, 9, 9);
        const int reads = clock.reads;
        dialog.Tick(4);
        dialog.Tick(0);
        EXPECT_EQ(clock.reads, reads);
        EXPECT_EQ(dialog.Label(IDC_DATE_TEXT), "2016-03-05");
        EXPECT_EQ(dialog.Label(IDC_TIME_TEXT), " 8:00:00");
    });
}

// The time-set sequence of the main dialog with a clock the test sets, in the test's own
// process: the frames reach COM1's far end (COM21), one per tick of the send-step timer.
#include "DialogProbe.h"
#include "platform/LocalInstant.h"
#include "tests/serial/support/FarEnd.h"
#include "timeset/TimeFrame.h"

#include <gtest/gtest.h>

namespace {

constexpr int kFrameWaitMs = 3000;
constexpr int kTickMs = 200;

// The seven frames that set `time`, as they go on the line.
serial_test::Bytes FramesOf(const LocalInstant& time) {
    serial_test::Bytes bytes;
    for (int index = 0; index < kFramesPerSequence; ++index) {
        const TimeFrame frame = BuildTimeFrame(time, *FrameStep::At(index));
        bytes.insert(bytes.end(), frame.begin(), frame.end());
    }
    return bytes;
}

// A clock the test sets; each tick of the sequence moves it on by the timer's period, as the
// computer's clock would.
struct SteppedClock {
    LocalInstant now;
    ClockSource Source() {
        return [this] { return now; };
    }
};

// Runs the dialog with the clock at `start`; `script` gets the dialog and COM1's far end.
void RunDialog(SteppedClock& clock, const LocalInstant& start,
               const std::function<void(KalvorDlgProbe&, serial_test::FarEnd&)>& script) {
    serial_test::FarEnd line(1);
    clock.now = start;
    bool ran = false;
    KalvorDlgProbe dialog(clock.Source(), [&](KalvorDlgProbe& probe) {
        ASSERT_TRUE(probe.PortOpen()) << "COM1 did not open";
        script(probe, line);
        ran = true;
    });
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_TRUE(ran);
}

// Ticks the send-step timer `count` times, moving the clock on a period each time, and collects
// each frame from the line end before the next tick hands over another.
serial_test::Bytes Tick(KalvorDlgProbe& dialog, serial_test::FarEnd& line, SteppedClock& clock,
                        int count) {
    serial_test::Bytes sent;
    for (int i = 0; i < count; ++i) {
        dialog.Tick(TIMER_SEND_STEP);
        const serial_test::Bytes frame = line.Read(4, kFrameWaitMs);
        sent.insert(sent.end(), frame.begin(), frame.end());
        clock.now = AddMilliseconds(clock.now, kTickMs);
    }
    return sent;
}

LocalInstant At(int year, int month, int day, int hour, int minute, int second, int ms) {
    return {year, month, day, WeekdayOf(year, month, day), hour, minute, second, ms};
}

struct Straddle {
    const char* name;
    LocalInstant start;    // the clock at the first tick
    LocalInstant expected; // what all seven frames carry
};

void PrintTo(const Straddle& straddle, std::ostream* out) {
    *out << straddle.name;
}

class StraddlingSequence : public ::testing::TestWithParam<Straddle> {};

} // namespace

// Each start puts a change of day, hour, minute or year between two frames that would each have
// read the clock at their own tick: the fields would then straddle it, and the device be set a
// day, an hour, a minute or a year wrong. All seven come from the one instant the seconds frame
// is due, 1.2 s after the first tick.
TEST_P(StraddlingSequence, AllSevenFramesCarryOneInstant) {
    SteppedClock clock;
    RunDialog(clock, GetParam().start, [&](KalvorDlgProbe& dialog, serial_test::FarEnd& line) {
        const serial_test::Bytes sent = Tick(dialog, line, clock, kFramesPerSequence);
        EXPECT_EQ(sent, FramesOf(GetParam().expected));
        EXPECT_EQ(dialog.SendStepNumber(), 0);
        EXPECT_TRUE(line.ReadSome(300).empty()) << "more than seven frames";
    });
}

INSTANTIATE_TEST_SUITE_P(
    Changes, StraddlingSequence,
    ::testing::Values(
        // The day changes before the weekday frame.
        Straddle{"NewYear", At(2016, 12, 31, 23, 59, 59, 500), {2017, 1, 1, 0, 0, 0, 0}},
        // The year changes right after the year frame.
        Straddle{
            "NewYearAfterYearFrame", At(2016, 12, 31, 23, 59, 59, 900), {2017, 1, 1, 0, 0, 0, 1}},
        // The hour changes between the hour and the minute frame.
        Straddle{"Hour", At(2016, 4, 12, 9, 59, 59, 100), {2016, 4, 12, 2, 10, 0, 0}},
        // The minute changes between the minute and the seconds frame.
        Straddle{"Minute", At(2016, 4, 12, 9, 5, 58, 900), {2016, 4, 12, 2, 9, 6, 0}},
        // No change crossed: the seconds frame is due at 9:05:31.300, sent as 9:05:31.
        Straddle{"NoChange", At(2016, 4, 12, 9, 5, 30, 100), {2016, 4, 12, 2, 9, 5, 31}}),
    [](const ::testing::TestParamInfo<Straddle>& info) { return info.param.name; });

// A click during a sequence restarts the timer and carries on from the current step, with the
// instant planned at its start: the frames still to come fit those already sent.
TEST(SendSequence, ClickDuringSequenceKeepsItsInstant) {
    SteppedClock clock;
    RunDialog(clock, At(2016, 4, 12, 9, 5, 58, 900),
              [&](KalvorDlgProbe& dialog, serial_test::FarEnd& line) {
                  serial_test::Bytes sent = Tick(dialog, line, clock, 3);
                  dialog.ClickSetTime();
                  EXPECT_EQ(dialog.SendStepNumber(), 3);
                  clock.now = AddMilliseconds(clock.now, 60 * 60 * 1000);
                  const serial_test::Bytes rest = Tick(dialog, line, clock, 4);
                  sent.insert(sent.end(), rest.begin(), rest.end());
                  EXPECT_EQ(sent, FramesOf({2016, 4, 12, 2, 9, 6, 0}));
                  EXPECT_EQ(dialog.SendStepNumber(), 0);
              });
}

// The next sequence plans its own instant.
TEST(SendSequence, EachSequenceReadsTheClockAnew) {
    SteppedClock clock;
    RunDialog(clock, At(2016, 4, 12, 9, 5, 30, 100),
              [&](KalvorDlgProbe& dialog, serial_test::FarEnd& line) {
                  EXPECT_EQ(Tick(dialog, line, clock, kFramesPerSequence),
                            FramesOf({2016, 4, 12, 2, 9, 5, 31}));
                  clock.now = At(2017, 1, 1, 0, 0, 7, 0);
                  EXPECT_EQ(Tick(dialog, line, clock, kFramesPerSequence),
                            FramesOf({2017, 1, 1, 0, 0, 0, 8}));
              });
}

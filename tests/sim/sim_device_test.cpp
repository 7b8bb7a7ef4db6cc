// The simulated device: its clock as set by frames, sequences, and the error it reports.
#include "timeset/TimeFrame.h"
#include "tools/common/InstantText.h"
#include "tools/kalvor-sim/ReportFormat.h"
#include "tools/kalvor-sim/SimulatedDevice.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using namespace kalvor_sim;
using namespace kalvor_tools;

// Failures show instants as dates, not as bytes.
void PrintTo(const LocalInstant& instant, std::ostream* out) {
    *out << FormatInstant(instant) << " weekday " << instant.m_weekday;
}

namespace {

LocalInstant At(int year, int month, int day, int hour, int minute, int second, int ms = 0) {
    return {year, month, day, WeekdayOf(year, month, day), hour, minute, second, ms};
}

const LocalInstant kPowerOn = At(2016, 4, 12, 9, 0, 0);
const LocalInstant kTuesdayExample{2016, 4, 12, 2, 9, 5, 30};

class Device {
public:
    Device() : m_device(kPowerOn) {}

    // Sends the frames of the given steps of `time`, one every 200 ms from `firstArrival`.
    Device& Send(const LocalInstant& time, const LocalInstant& firstArrival, int firstStep = 0,
                 int lastStep = 6) {
        for (int step = firstStep; step <= lastStep; ++step) {
            SendBytes(BuildTimeFrame(time, FrameStep::At(step).value()),
                      AddMilliseconds(firstArrival, 200 * (step - firstStep)));
        }
        return *this;
    }
    template <typename Bytes>
    Device& SendBytes(const Bytes& bytes, const LocalInstant& arrival) {
        for (std::uint8_t byte : bytes) {
            m_device.Receive(byte, arrival, m_reports);
        }
        return *this;
    }
    std::vector<SequenceReport> Sequences() const {
        std::vector<SequenceReport> sequences;
        for (const DeviceReport& report : m_reports) {
            if (const auto* sequence = std::get_if<SequenceReport>(&report)) {
                sequences.push_back(*sequence);
            }
        }
        return sequences;
    }
    const DecodedFrame& LastFrame() const {
        for (auto it = m_reports.rbegin(); it != m_reports.rend(); ++it) {
            if (const auto* frame = std::get_if<DecodedFrame>(&*it)) {
                return *frame;
            }
        }
        throw std::logic_error("no frame");
    }
    LocalInstant Read(const LocalInstant& at) const { return m_device.Clock().Read(at); }
    SimulatedDevice& Itself() { return m_device; }
    std::vector<DeviceReport>& Reports() { return m_reports; }

private:
    SimulatedDevice m_device;
    std::vector<DeviceReport> m_reports;
};

TEST(SimulatedDevice, TheExampleSequenceSetsTuesday12April2016At90530) {
    Device device;
    // The seconds frame arrives at 09:05:30.412 on the computer's clock.
    device.Send(kTuesdayExample, At(2016, 4, 12, 9, 5, 29, 212));
    const std::vector<SequenceReport> sequences = device.Sequences();
    ASSERT_EQ(sequences.size(), 1u);
    const SequenceReport& sequence = sequences[0];
    EXPECT_TRUE(sequence.m_complete);
    EXPECT_EQ(sequence.m_framesAccepted, 7);
    EXPECT_EQ(sequence.m_deviceClock, kTuesdayExample);
    EXPECT_TRUE(sequence.m_weekdayMatchesDate);
    EXPECT_EQ(sequence.m_computerClock, At(2016, 4, 12, 9, 5, 30, 412));
    EXPECT_EQ(sequence.m_errorMs, -412);

    // The device's second started at the seconds frame's arrival, and its clock runs on.
    EXPECT_EQ(device.Read(At(2016, 4, 12, 9, 5, 31, 912)),
              (LocalInstant{2016, 4, 12, 2, 9, 5, 31, 500}));
}

TEST(SimulatedDevice, ErrorIsDeviceMinusComputerForAnyArrival) {
    // Frames built from 23:59:59 on New Year's Eve, the seconds frame arriving 300 ms into the
    // next second, which is also the next year.
    const LocalInstant newYearsEve{2016, 12, 31, 6, 23, 59, 59};
    Device device;
    device.Send(newYearsEve, At(2016, 12, 31, 23, 59, 59, 100));
    ASSERT_EQ(device.Sequences().size(), 1u);
    EXPECT_EQ(device.Sequences()[0].m_errorMs, -1300);

    // A device ahead of the computer has a positive error.
    Device ahead;
    ahead.Send(kTuesdayExample, At(2016, 4, 12, 9, 5, 28, 0));
    EXPECT_EQ(ahead.Sequences()[0].m_errorMs, 800);
}

TEST(SimulatedDevice, FieldsTakenFromDifferentInstantsShowAsAWrongMinute) {
    // Year to minute read at 09:05:59.9, the seconds frame from a reading at 09:06:00.1: the
    // device ends up a minute behind.
    Device device;
    device.Send({2016, 4, 12, 2, 9, 5, 59}, At(2016, 4, 12, 9, 5, 59, 0), 0, 5);
    device.Send({2016, 4, 12, 2, 9, 6, 0}, At(2016, 4, 12, 9, 6, 0, 200), 6, 6);
    ASSERT_EQ(device.Sequences().size(), 1u);
    EXPECT_EQ(device.Sequences()[0].m_errorMs, -60'200);
}

TEST(SimulatedDevice, RejectedOrOutOfOrderFramesBreakTheSequenceButStillCount) {
    Device device;
    const LocalInstant start = At(2016, 4, 12, 9, 5, 29);
    device.Send(kTuesdayExample, start, 0, 2);
    device.SendBytes(std::vector<std::uint8_t>{0xF6, 0x04, 0x02, 0x04},
                     AddMilliseconds(start, 600));
    device.Send(kTuesdayExample, AddMilliseconds(start, 800), 4, 6);
    std::vector<SequenceReport> sequences = device.Sequences();
    ASSERT_EQ(sequences.size(), 1u);
    EXPECT_FALSE(sequences[0].m_complete);
    EXPECT_EQ(sequences[0].m_framesAccepted, 3);
    EXPECT_EQ(sequences[0].m_detail,
              "incomplete after 3 of 7 frames: the weekday frame was rejected (check_byte)");
    // The accepted frames set the device all the same.
    EXPECT_EQ(WholeSecondOf(device.Read(AddMilliseconds(start, 1200))),
              (LocalInstant{2016, 4, 12, 6, 9, 5, 30})); // weekday untouched since power-on

    Device skipped;
    skipped.Send(kTuesdayExample, start, 0, 3)
        .Send(kTuesdayExample, AddMilliseconds(start, 800), 5, 6);
    sequences = skipped.Sequences();
    ASSERT_EQ(sequences.size(), 1u);
    EXPECT_EQ(sequences[0].m_detail, "incomplete after 4 of 7 frames: field 6 (minute) arrived "
                                     "where field 5 (hour) was due");

    // A year frame starts afresh; noise between frames is harmless.
    Device restarted;
    restarted.Send(kTuesdayExample, start, 0, 1);
    restarted.SendBytes(std::vector<std::uint8_t>{0x00, 0xFF}, AddMilliseconds(start, 300));
    restarted.Send(kTuesdayExample, AddMilliseconds(start, 400));
    sequences = restarted.Sequences();
    ASSERT_EQ(sequences.size(), 2u);
    EXPECT_EQ(sequences[0].m_detail, "incomplete after 2 of 7 frames: a new sequence began");
    EXPECT_TRUE(sequences[1].m_complete);

    // The end of the input ends a partial sequence.
    Device ended;
    ended.Send(kTuesdayExample, start, 0, 4);
    ended.Itself().NoteSilence(AddMilliseconds(start, 5000), true, ended.Reports());
    ASSERT_EQ(ended.Sequences().size(), 1u);
    EXPECT_EQ(ended.Sequences()[0].m_framesAccepted, 5);
}

TEST(SimulatedDevice, RejectsADayTheMonthDoesNotHave) {
    const LocalInstant start = At(2016, 4, 12, 9, 5, 29);
    Device device;
    device.Send({2015, 2, 29, 0, 0, 0, 0}, start, 0, 2);
    EXPECT_EQ(device.LastFrame().m_verdict, FrameVerdict::DayNotInMonth);
    EXPECT_EQ(device.LastFrame().m_detail, "day 29 does not exist in 2015-02");
    EXPECT_FALSE(device.Sequences().empty());

    Device leap;
    leap.Send({2016, 2, 29, 1, 0, 0, 0}, start);
    EXPECT_TRUE(leap.Sequences().at(0).m_complete);

    Device april;
    april.Send({2016, 4, 31, 0, 0, 0, 0}, start, 0, 2);
    EXPECT_EQ(april.LastFrame().m_verdict, FrameVerdict::DayNotInMonth);
}

TEST(SimulatedDevice, ClockCarriesItsOwnWeekdayPastMidnight) {
    // Set to Saturday 31 December 2016 23:59:59, but told it is a Monday.
    Device device;
    const LocalInstant start = At(2016, 12, 31, 23, 59, 58);
    device.Send({2016, 12, 31, 1, 23, 59, 59}, start);
    ASSERT_EQ(device.Sequences().size(), 1u);
    EXPECT_FALSE(device.Sequences()[0].m_weekdayMatchesDate);
    EXPECT_EQ(device.Read(AddMilliseconds(start, 1200 + 1500)),
              (LocalInstant{2017, 1, 1, 2, 0, 0, 0, 500})); // Monday + 1
}

TEST(SimulatedDevice, ItsOwnClockCannotCarryIntoAFieldSetEarlierInTheSequence) {
    // Set right at 09:59:58.000; then a sequence built for 10:00:00, its seconds frame due at
    // 10:00:00.300. While the frames arrive, the device's own clock passes 10:00: had it kept
    // running after the hour frame set 10 at 09:59:59.9, it would have turned 11.
    Device device;
    device.Send({2016, 4, 12, 2, 9, 59, 58}, At(2016, 4, 12, 9, 59, 56, 800));
    device.Send({2016, 4, 12, 2, 10, 0, 0}, At(2016, 4, 12, 9, 59, 59, 100));
    ASSERT_EQ(device.Sequences().size(), 2u);
    EXPECT_EQ(device.Sequences()[1].m_deviceClock, At(2016, 4, 12, 10, 0, 0));
    EXPECT_EQ(device.Sequences()[1].m_errorMs, -300);

    // Between the frames of a sequence the clock stands still; the seconds frame restarts it.
    Device partial;
    partial.Send(kTuesdayExample, At(2016, 4, 12, 9, 5, 29), 0, 5);
    EXPECT_EQ(partial.Read(At(2016, 4, 12, 9, 6, 0)), partial.Read(At(2016, 4, 12, 9, 7, 0)));
}

} // namespace

namespace {

// Every JSON line reads back as JSON, whatever the text it carries: control characters, quotes
// and backslashes are escaped, bytes that are not UTF-8 are replaced, UTF-8 stays as it is.
TEST(ReportFormat, JsonLinesStayValidWhateverTheyCarry) {
    DecodedFrame frame;
    frame.m_arrival = At(2016, 4, 12, 9, 5, 30, 412);
    frame.m_bytes = {0xF6, 0x07, 0x30, 0x00};
    frame.m_verdict = FrameVerdict::BadCheckByte;
    frame.m_fieldNumber = 7;
    frame.m_detail =
        std::string("tab\there \x01\x1F \"quoted\" back\\slash caf\xC3\xA9 \xFF\xFE end");
    const std::string line = JsonLine(frame);
    EXPECT_EQ(line.find('\n'), std::string::npos) << "one report, one line";

    const nlohmann::json json = nlohmann::json::parse(line, nullptr, false);
    ASSERT_FALSE(json.is_discarded()) << line;
    EXPECT_EQ(json["type"], "frame");
    EXPECT_EQ(json["arrival"], "2016-04-12T09:05:30.412");
    EXPECT_EQ(json["bytes"], "F6 07 30 00");
    EXPECT_EQ(json["name"], "second");
    EXPECT_EQ(json["reason"], "check_byte");
    const std::string detail = json["detail"];
    EXPECT_EQ(detail.substr(0, 31), "tab\there \x01\x1F \"quoted\" back\\slash");
    EXPECT_NE(detail.find("caf\xC3\xA9"), std::string::npos) << "UTF-8 is kept";
    EXPECT_NE(detail.find(" end"), std::string::npos);

    // The keys keep the order the format lists, which readers of the lines rely on.
    EXPECT_LT(line.find("\"type\""), line.find("\"arrival\""));
    EXPECT_LT(line.find("\"status\""), line.find("\"reason\""));
}

} // namespace

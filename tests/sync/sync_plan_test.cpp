// The plan of one sequence and the command line that asks for it: pure computation, on a clock
// that the test sets.
#include "timeset/SequencePlan.h"
#include "tools/common/InstantText.h"
#include "tools/kalvor-sync/CommandLine.h"

#include <gtest/gtest.h>
#include <initializer_list>
#include <vector>

using namespace kalvor_sync;
using namespace kalvor_tools;

namespace {

constexpr std::int64_t kSecond = 1'000'000;

std::int64_t FirstWriteAfterPlanning(std::int64_t now) {
    return now + kPlanningLeadMicroseconds;
}

SequencePlan PlanOnCivilClock(std::int64_t now, bool align, std::int64_t latency) {
    return PlanSequence(ChooseDeviceSetInstant(now, align, latency), latency, &CivilClockTime);
}

SyncCommand Parse(std::initializer_list<const char*> words) {
    std::vector<const char*> argv{"kalvor-sync"};
    argv.insert(argv.end(), words);
    return ParseSyncCommand(static_cast<int>(argv.size()), argv.data());
}

} // namespace

TEST(SequencePlan, AlignedSetsTheDeviceAtTheFirstTopOfASecondItCanStillReach) {
    const std::int64_t start = CivilClockInstant(*ParseInstant("2016-04-12 09:05:28"));
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
    const std::int64_t now = CivilClockInstant(*ParseInstant("2016-04-12 09:05:28")) + 900'000;
    const SequencePlan plan = PlanOnCivilClock(now, false, 0);
    EXPECT_EQ(plan.m_writeAt[0], FirstWriteAfterPlanning(now));
    EXPECT_EQ(plan.m_writeAt[6] + kFrameLineMicroseconds, plan.m_deviceSetAt);
    // 28.900 + 0.020 + 1.2 + 0.004 lands at 30.124: the frames say 30.
    EXPECT_EQ(plan.m_frames[6], (TimeFrame{0xF6, 0x07, 0x30, 0xD2}));
    EXPECT_EQ(plan.m_instant.m_milliseconds, 124);
}

TEST(SequencePlan, AllSevenFramesCarryTheInstantTheDeviceIsSetAtAcrossNewYear) {
    const SequencePlan plan =
        PlanSequence(CivilClockInstant(*ParseInstant("2017-01-01 00:00:00")), 0, &CivilClockTime);
    EXPECT_EQ(FormatInstant(CivilClockTime(plan.m_writeAt[0])), "2016-12-31 23:59:58.795");
    EXPECT_EQ(FormatInstant(CivilClockTime(plan.m_writeAt[6])), "2016-12-31 23:59:59.995");
    const std::vector<TimeFrame> expected = {{0xF6, 0x01, 0x17, 0xF1}, {0xF6, 0x02, 0x01, 0x06},
                                             {0xF6, 0x03, 0x01, 0x05}, {0xF6, 0x04, 0x00, 0x05},
                                             {0xF6, 0x05, 0x00, 0x04}, {0xF6, 0x06, 0x00, 0x03},
                                             {0xF6, 0x07, 0x00, 0x02}};
    EXPECT_EQ(std::vector<TimeFrame>(plan.m_frames.begin(), plan.m_frames.end()), expected);
}

TEST(SequencePlan, TheCivilClockCountsLocalTimeBothWays) {
    const LocalInstant leapDay{{2016, 2, 29, 1, 23, 59, 59}, 999};
    EXPECT_EQ(CivilClockTime(CivilClockInstant(leapDay)), leapDay);
    EXPECT_EQ(FormatInstant(CivilClockTime(CivilClockInstant(leapDay) + 1000)),
              "2016-03-01 00:00:00.000");
    // Before 1970 the milliseconds still count forwards within their second.
    EXPECT_EQ(FormatInstant(CivilClockTime(-1)), "1969-12-31 23:59:59.999");
}

TEST(InstantText, OnlyRealTimesTheDeviceCanHoldAreTaken) {
    const auto leap = ParseInstant("2016-02-29 12:00:00");
    ASSERT_TRUE(leap);
    EXPECT_EQ(leap->m_time.m_weekday, 1); // a Monday
    EXPECT_TRUE(ParseInstant("2099-12-31T23:59:59"));
    for (const char* bad : {"2015-02-29 12:00:00", "1999-12-31 23:59:59", "2100-01-01 00:00:00",
                            "2016-04-12 24:00:00", "2016-04-12 09:05:60", "2016-04-12 09:05",
                            "2016-04-12 09:05:30x", "2016-4-12 09:05:30", "2016-04-12_09:05:30"}) {
        EXPECT_FALSE(ParseInstant(bad)) << bad;
    }
}

TEST(SyncCommandLine, PortsDurationsAndOffsets) {
    EXPECT_EQ(Parse({"--port", "3"}).m_port->number, 3);
    EXPECT_EQ(Parse({"--port", "COM10"}).m_port->number, 10);
    EXPECT_EQ(Parse({"--port", "\\\\.\\COM12"}).m_port->number, 12);
    const SyncCommand device = Parse({"--port", "/dev/ttyUSB0"});
    EXPECT_EQ(device.m_action, SyncCommand::Action::Sync);
    EXPECT_EQ(device.m_port->device, "/dev/ttyUSB0");
    EXPECT_EQ(device.m_port->number, 0);

    EXPECT_EQ(Parse({"--port", "1", "--every", "90s"}).m_everyMicroseconds, 90 * kSecond);
    EXPECT_EQ(Parse({"--port", "1", "--every", "10m"}).m_everyMicroseconds, 600 * kSecond);
    EXPECT_EQ(Parse({"--port", "1", "--every", "24h"}).m_everyMicroseconds, 86'400 * kSecond);
    EXPECT_EQ(Parse({"--port", "1", "--every", "7d"}).m_everyMicroseconds, 7 * 86'400 * kSecond);
    EXPECT_EQ(Parse({"--port", "1", "--offset", "-3.5"}).m_latencyMicroseconds, -3'500);
    EXPECT_EQ(Parse({"--port", "1", "--offset", "12"}).m_latencyMicroseconds, 12'000);
    EXPECT_FALSE(Parse({"--port", "1", "--no-align"}).m_align);
    EXPECT_EQ(Parse({"--dry-run"}).m_action, SyncCommand::Action::DryRun);
}

TEST(SyncCommandLine, WhatIsWrongIsAUsageError) {
    const std::vector<std::vector<const char*>> wrong = {
        {},
        {"--port"},
        {"--port", "0"},
        {"--port", "COM0"},
        {"--port", "256"},
        {"--port", "1", "--every", "0s"},
        {"--port", "1", "--every", "10"},
        {"--port", "1", "--every", "-1m"},
        {"--port", "1", "--every", "500ms"},
        {"--port", "1", "--every", "9999999d"},
        {"--port", "1", "--offset", "60001"},
        {"--port", "1", "--offset", "1e3x"},
        {"--port", "1", "--quiet", "--verbose"},
        {"--port", "1", "--at", "2016-04-12 09:05:30"},
        {"--dry-run", "--every", "1m"},
        {"--port", "1", "extra"},
        {"--port", "1", "--frobnicate"},
    };
    for (const auto& words : wrong) {
        std::vector<const char*> argv{"kalvor-sync"};
        argv.insert(argv.end(), words.begin(), words.end());
        const SyncCommand command = ParseSyncCommand(static_cast<int>(argv.size()), argv.data());
        EXPECT_EQ(command.m_action, SyncCommand::Action::UsageError) << argv.size();
        EXPECT_FALSE(command.m_error.empty());
    }
}

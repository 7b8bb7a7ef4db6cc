// What makes kalvor-sync set the devices again between runs, and what it tells of the computer's
// clock before each sequence: pure, on readings and states the test makes up.
#include "tools/kalvor-sync/ClockChange.h"
#include "tools/kalvor-sync/ClockCheck.h"

#include <gtest/gtest.h>
#include <sstream>

using namespace kalvor_sync;

namespace {

constexpr std::int64_t kSecond = 1'000'000;

platform::ClockReadings Reading(std::int64_t wall, std::int64_t monotonic, int offset = 3600) {
    return {wall, monotonic, offset};
}

TEST(ClockChange, StepsBeyondHalfASecondEitherWayAreTold) {
    const auto before = Reading(1'000 * kSecond, 50 * kSecond);
    // A quarter of a second later on both clocks, or with the slewing of a kept clock: nothing.
    EXPECT_FALSE(
        DescribeClockChange(before, Reading(1'000 * kSecond + 250'000, 50 * kSecond + 250'000)));
    EXPECT_FALSE(
        DescribeClockChange(before, Reading(1'000 * kSecond + 700'000, 50 * kSecond + 250'000)));
    EXPECT_EQ(
        DescribeClockChange(before, Reading(1'003 * kSecond + 450'000, 50 * kSecond + 250'000)),
        "clock stepped +3.2 s");
    EXPECT_EQ(DescribeClockChange(before, Reading(997 * kSecond, 50 * kSecond + 250'000)),
              "clock stepped -3.2 s");
    // A resume from sleep: the wall clock went on, the monotonic one did not.
    EXPECT_EQ(
        DescribeClockChange(before, Reading(4'600 * kSecond + 250'000, 50 * kSecond + 250'000)),
        "clock stepped +3600.0 s");
}

TEST(ClockChange, AChangeOfTheUtcOffsetIsToldWithTheNewOffset) {
    const auto before = Reading(1'000 * kSecond, 50 * kSecond, 3600);
    EXPECT_EQ(DescribeClockChange(before,
                                  Reading(1'000 * kSecond + 250'000, 50 * kSecond + 250'000, 7200)),
              "UTC offset changed to +02:00");
    EXPECT_EQ(DescribeClockChange(
                  before, Reading(1'000 * kSecond + 250'000, 50 * kSecond + 250'000, -12'600)),
              "UTC offset changed to -03:30");
    EXPECT_EQ(UtcOffsetText(0), "+00:00");
    EXPECT_EQ(UtcOffsetText(20'700), "+05:45");
}

TEST(ClockChange, AComputerThatStoodStillIsToldToo) {
    // Where the monotonic clock counts on through sleep, a sleep shows as a long gap instead.
    const auto before = Reading(1'000 * kSecond, 50 * kSecond);
    EXPECT_EQ(DescribeClockChange(before, Reading(1'031 * kSecond, 81 * kSecond)),
              "the computer stood still for 31 s");
    EXPECT_FALSE(DescribeClockChange(before, Reading(1'002 * kSecond, 52 * kSecond)));
}

// ClockCheck against a made-up state, its log captured.
struct Checked {
    std::ostringstream out, errors;
    SyncLog log{out, errors, SyncCommand::Verbosity::Verbose};
};

platform::ClockSyncState State(platform::ClockSyncStatus status, const char* how) {
    platform::ClockSyncState state;
    state.status = status;
    state.how = how;
    return state;
}

TEST(ClockCheck, WarnsOncePerRunWhetherNotSynchronisedOrUnknown) {
    for (const auto status :
         {platform::ClockSyncStatus::NotSynchronised, platform::ClockSyncStatus::Unknown}) {
        Checked checked;
        ClockCheck check([&] { return State(status, "asked the clock"); }, false, checked.log);
        for (int sequence = 0; sequence < 3; ++sequence) {
            EXPECT_TRUE(check.BeforeSequence());
        }
        const std::string errors = checked.errors.str();
        EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
        EXPECT_EQ(errors.rfind("kalvor-sync: warning: ", 0), 0u) << errors;
        EXPECT_NE(errors.find("(asked the clock)"), std::string::npos) << errors;
        EXPECT_NE(errors.find("the device is set to the computer's time, right or wrong"),
                  std::string::npos);
        EXPECT_NE(errors.find(status == platform::ClockSyncStatus::Unknown
                                  ? "it cannot be told whether"
                                  : "is not synchronised"),
                  std::string::npos)
            << errors;
    }
}

TEST(ClockCheck, RequireSyncedRefusesEverySequenceOfAClockNotKnownToBeSynchronised) {
    Checked checked;
    ClockCheck check([] { return State(platform::ClockSyncStatus::Unknown, "no answer"); }, true,
                     checked.log);
    EXPECT_FALSE(check.BeforeSequence());
    EXPECT_FALSE(check.BeforeSequence());
    EXPECT_NE(checked.errors.str().find("not setting any device"), std::string::npos);
    EXPECT_EQ(checked.errors.str().find("warning"), std::string::npos);
}

TEST(ClockCheck, ASynchronisedClockGoesQuietlyAndVerboseTellsItsError) {
    Checked checked;
    platform::ClockSyncState synced = State(platform::ClockSyncStatus::Synchronised, "kept");
    synced.estimatedErrorMicroseconds = 512;
    synced.maximumErrorMicroseconds = 16'000'000;
    ClockCheck check([&] { return synced; }, true, checked.log);
    EXPECT_TRUE(check.BeforeSequence());
    EXPECT_TRUE(checked.errors.str().empty());
    EXPECT_EQ(checked.out.str(),
              "the computer's clock: kept; estimated error 0.512 ms, at most 16.0 s\n");
}

} // namespace

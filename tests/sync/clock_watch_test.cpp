// What makes kalvor-sync set the devices again between runs, and what it tells of the computer's
// clock before each sequence: pure, on readings and states the test makes up.
#include "tools/kalvor-sync/follow/ClockChange.h"
#include "tools/kalvor-sync/follow/ClockCheck.h"

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
        (RunReason{RunReason::Kind::ClockStep, "clock stepped +3.2 s"}));
    EXPECT_EQ(DescribeClockChange(before, Reading(997 * kSecond, 50 * kSecond + 250'000)),
              (RunReason{RunReason::Kind::ClockStep, "clock stepped -3.2 s"}));
    // A resume from sleep: the wall clock went on, the monotonic one did not.
    EXPECT_EQ(
        DescribeClockChange(before, Reading(4'600 * kSecond + 250'000, 50 * kSecond + 250'000)),
        (RunReason{RunReason::Kind::ClockStep, "clock stepped +3600.0 s"}));
}

TEST(ClockChange, AChangeOfTheUtcOffsetIsToldWithTheNewOffset) {
    const auto before = Reading(1'000 * kSecond, 50 * kSecond, 3600);
    EXPECT_EQ(DescribeClockChange(before,
                                  Reading(1'000 * kSecond + 250'000, 50 * kSecond + 250'000, 7200)),
              (RunReason{RunReason::Kind::OffsetChange, "UTC offset changed to +02:00"}));
    EXPECT_EQ(DescribeClockChange(
                  before, Reading(1'000 * kSecond + 250'000, 50 * kSecond + 250'000, -12'600)),
              (RunReason{RunReason::Kind::OffsetChange, "UTC offset changed to -03:30"}));
    EXPECT_EQ(DescribeClockChange(
                  before, Reading(1'000 * kSecond + 250'000, 50 * kSecond + 250'000, 20'700))
                  ->words,
              "UTC offset changed to +05:45");
}

TEST(ClockChange, WhatTheReferenceTellsSetsTheDevicesAgainWhenItComesOrMoves) {
    const struct {
        ReferenceOffset setWith, now;
        std::string why; // empty: nothing to do
    } cases[] = {
        {std::nullopt, std::nullopt, ""}, // it tells nothing yet: the computer's time stays
        {std::nullopt, 7 * kSecond, "the time reference tells the time"},
        {7 * kSecond, 7 * kSecond + 400'000, ""}, // within half a second: the drift of a model
        {7 * kSecond, 8'200'000, "the time reference moved +1.2 s"},
        {7 * kSecond, 3 * kSecond, "the time reference moved -4.0 s"},
        {7 * kSecond, std::nullopt, ""}, // it lost the time: the devices keep theirs
    };
    for (const auto& [setWith, now, why] : cases) {
        const auto change = DescribeReferenceChange(setWith, now);
        EXPECT_EQ(change ? change->words : std::string(), why);
        if (change) {
            EXPECT_EQ(change->kind, RunReason::Kind::Reference);
        }
    }
}

TEST(ClockChange, AComputerThatStoodStillIsToldToo) {
    // Where the monotonic clock counts on through sleep, a sleep shows as a long gap instead.
    const auto before = Reading(1'000 * kSecond, 50 * kSecond);
    EXPECT_EQ(DescribeClockChange(before, Reading(1'031 * kSecond, 81 * kSecond)),
              (RunReason{RunReason::Kind::ClockStep, "the computer stood still for 31 s"}));
    EXPECT_FALSE(DescribeClockChange(before, Reading(1'002 * kSecond, 52 * kSecond)));
}

// ClockCheck against a made-up state, its log captured.
struct Checked {
    std::ostringstream out, errors;
    SyncLog log{out, errors, Verbosity::Verbose};
};

platform::ClockSyncState State(platform::ClockSyncStatus status, const char* reason) {
    platform::ClockSyncState state;
    state.status = status;
    state.reason = reason;
    return state;
}

std::size_t Lines(const std::string& text) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

TEST(ClockCheck, WarnsOncePerRunInOneSentenceWhetherNotSynchronisedOrUnknown) {
    for (const auto status :
         {platform::ClockSyncStatus::NotSynchronised, platform::ClockSyncStatus::Unknown}) {
        Checked checked;
        ClockCheck check([&] { return State(status, "the test says so"); }, false, false,
                         checked.log);
        for (int sequence = 0; sequence < 3; ++sequence) {
            EXPECT_TRUE(check.BeforeSequence());
        }
        const std::string errors = checked.errors.str();
        EXPECT_EQ(errors, std::string("kalvor-sync: warning: ") +
                              (status == platform::ClockSyncStatus::Unknown
                                   ? "it is unknown whether the computer's clock is synchronised"
                                   : "the computer's clock is not synchronised") +
                              ": the test says so; the devices are set to its time, right or wrong "
                              "(--require-synced refuses instead)\n");
    }
}

TEST(ClockCheck, RequireSyncedRefusesEverySequenceOfASingleRun) {
    Checked checked;
    ClockCheck check([] { return State(platform::ClockSyncStatus::Unknown, "no answer"); }, true,
                     false, checked.log);
    EXPECT_FALSE(check.BeforeSequence());
    EXPECT_FALSE(check.BeforeSequence());
    EXPECT_EQ(Lines(checked.errors.str()), 2u);
    EXPECT_NE(checked.errors.str().find("not setting any device (--require-synced): it is "
                                        "unknown whether the computer's clock is synchronised: "
                                        "no answer\n"),
              std::string::npos)
        << checked.errors.str();
    EXPECT_EQ(checked.errors.str().find("warning"), std::string::npos);
}

TEST(ClockCheck, RequireSyncedWhileFollowingWaitsToldOnceAndOnceWhenSynchronised) {
    Checked checked;
    platform::ClockSyncState state = State(platform::ClockSyncStatus::NotSynchronised, "no source");
    ClockCheck check([&] { return state; }, true, true, checked.log);
    for (int ask = 0; ask < 5; ++ask) {
        EXPECT_FALSE(check.BeforeSequence());
    }
    EXPECT_EQ(checked.errors.str(),
              "kalvor-sync: warning: waiting to set the devices until the computer's clock is "
              "synchronised (--require-synced); now the computer's clock is not synchronised: "
              "no source\n");
    state = State(platform::ClockSyncStatus::Synchronised, "a source");
    EXPECT_TRUE(check.BeforeSequence());
    EXPECT_TRUE(check.BeforeSequence());
    EXPECT_EQ(Lines(checked.errors.str()), 2u);
    EXPECT_NE(checked.errors.str().find("kalvor-sync: the computer's clock is synchronised now: "
                                        "setting the devices\n"),
              std::string::npos);
    EXPECT_EQ(check.LastState().reason, "a source");
}

TEST(ClockCheck, ASynchronisedClockGoesQuietlyAndVerboseTellsItsError) {
    Checked checked;
    platform::ClockSyncState synced = State(platform::ClockSyncStatus::Synchronised, "kept");
    synced.estimatedErrorMicroseconds = 512;
    synced.maximumErrorMicroseconds = 16'000'000;
    ClockCheck check([&] { return synced; }, true, false, checked.log);
    EXPECT_TRUE(check.BeforeSequence());
    EXPECT_TRUE(checked.errors.str().empty());
    EXPECT_EQ(checked.out.str(), "the computer's clock is synchronised: kept; estimated error "
                                 "0.512 ms, at most 16.0 s\n");
}

} // namespace

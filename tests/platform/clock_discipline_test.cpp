// The kernel's answer about its clock discipline, read as the synchronisation of the computer's
// clock: every state the kernel can report, given here in place of the kernel.
#include "platform/posix/ClockDiscipline.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <sys/timex.h>

namespace {

using platform::ClockSyncStatus;

TEST(ClockDiscipline, SynchronisedOnlyWhenTheKernelSaysSoAndItsErrorIsBounded) {
    const auto synced = platform::InterpretClockDiscipline(TIME_OK, 0, STA_PLL, 512, 120'000);
    EXPECT_EQ(synced.status, ClockSyncStatus::Synchronised);
    EXPECT_EQ(synced.estimatedErrorMicroseconds, 512);
    EXPECT_EQ(synced.maximumErrorMicroseconds, 120'000);
    EXPECT_EQ(synced.reason, "the kernel's clock discipline follows a time source");

    // A leap second pending is still a synchronised clock.
    EXPECT_EQ(platform::InterpretClockDiscipline(TIME_INS, 0, STA_PLL | STA_INS, 10, 100).status,
              ClockSyncStatus::Synchronised);
}

TEST(ClockDiscipline, TheUnsynchronisedBitTheErrorStateOrAnUnboundedErrorMeanNotSynchronised) {
    // What a machine without a time daemon answers: the bit set, the error bound at its limit.
    const auto free =
        platform::InterpretClockDiscipline(TIME_ERROR, 0, STA_UNSYNC, 16'000'000, 16'000'000);
    EXPECT_EQ(free.status, ClockSyncStatus::NotSynchronised);
    // The reason does not repeat the state: it says why.
    EXPECT_EQ(free.reason, "the kernel's clock discipline has no time source");
    EXPECT_EQ(platform::InterpretClockDiscipline(TIME_OK, 0, STA_UNSYNC, 0, 0).status,
              ClockSyncStatus::NotSynchronised);
    EXPECT_EQ(platform::InterpretClockDiscipline(TIME_ERROR, 0, 0, 0, 0).status,
              ClockSyncStatus::NotSynchronised);
    const auto unbounded = platform::InterpretClockDiscipline(TIME_OK, 0, 0, 1000, 16'000'000);
    EXPECT_EQ(unbounded.status, ClockSyncStatus::NotSynchronised);
    EXPECT_EQ(unbounded.reason, "the kernel's bound of its error has grown to 16 s");
}

TEST(ClockDiscipline, AKernelThatCannotBeAskedLeavesItUnknownAndSaysWhy) {
    const auto refused = platform::InterpretClockDiscipline(-1, EPERM, 0, 0, 0);
    EXPECT_EQ(refused.status, ClockSyncStatus::Unknown);
    EXPECT_FALSE(refused.estimatedErrorMicroseconds);
    EXPECT_NE(refused.reason.find("cannot be read"), std::string::npos) << refused.reason;
    EXPECT_NE(refused.reason.find("Operation not permitted"), std::string::npos) << refused.reason;
}

// The real call, whatever this machine answers: a state with its words, and error figures that
// come with any answer the kernel gave.
TEST(ClockDiscipline, TheRealKernelAnswers) {
    const platform::ClockSyncState state = platform::ReadClockSyncState();
    EXPECT_FALSE(state.reason.empty());
    if (state.status != ClockSyncStatus::Unknown) {
        EXPECT_TRUE(state.estimatedErrorMicroseconds && state.maximumErrorMicroseconds);
    }
    std::printf("this machine: %s\n", state.reason.c_str());
}

} // namespace

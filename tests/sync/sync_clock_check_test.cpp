// kalvor-sync's run against a clock whose synchronisation the test decides: what it warns, what
// it refuses, its exit status, and whether the device got its frames. COM1 is a line whose far end
// (port 21 under Wine) the test reads; the real answer of the system is taken once as well.
#include "tests/serial/support/FarEnd.h"
#include "tools/kalvor-sync/command/ExitStatus.h"
#include "tools/kalvor-sync/program/SyncProgram.h"
#include "tools/kalvor-sync/status/ClockStateWords.h"

#include <gtest/gtest.h>
#include <sstream>

using namespace kalvor_sync;

namespace {

constexpr int kLinePort = 1;
constexpr std::size_t kSequenceBytes = 28;

struct Outcome {
    int status = -1;
    std::string out, errors;
    std::size_t bytesOnLine = 0;
};

Outcome Sync(const platform::ClockSyncState& state, bool requireSynced,
             SyncCommand::Verbosity verbosity = SyncCommand::Verbosity::Normal) {
    serial_test::FarEnd line(kLinePort);
    SyncCommand command;
    command.m_devices = {{serial_test::PortFor(kLinePort), 0}};
    command.m_requireSynced = requireSynced;
    command.m_align = false; // nothing here is about the instant
    command.m_verbosity = verbosity;
    std::ostringstream out, errors;
    Outcome outcome;
    outcome.status = RunSync(command, out, errors, [&] { return state; });
    outcome.out = out.str();
    outcome.errors = errors.str();
    outcome.bytesOnLine = line.ReadUntilQuiet(500).size();
    return outcome;
}

platform::ClockSyncState State(platform::ClockSyncStatus status) {
    platform::ClockSyncState state;
    state.status = status;
    state.reason = "as the test says";
    return state;
}

TEST(SyncClockCheck, ASynchronisedClockSetsTheDeviceWithoutAWord) {
    for (const bool requireSynced : {false, true}) {
        const Outcome run = Sync(State(platform::ClockSyncStatus::Synchronised), requireSynced);
        EXPECT_EQ(run.status, kExitSent);
        EXPECT_EQ(run.errors, "");
        EXPECT_EQ(run.bytesOnLine, kSequenceBytes);
        EXPECT_NE(run.out.find("set COM1 to "), std::string::npos) << run.out;
    }
}

TEST(SyncClockCheck, AClockNotKnownToBeSynchronisedIsWarnedOfAndTheDeviceStillSet) {
    for (const auto status :
         {platform::ClockSyncStatus::NotSynchronised, platform::ClockSyncStatus::Unknown}) {
        const Outcome run = Sync(State(status), false);
        EXPECT_EQ(run.status, kExitSent);
        EXPECT_EQ(run.errors.rfind("kalvor-sync: warning: ", 0), 0u) << run.errors;
        EXPECT_EQ(std::count(run.errors.begin(), run.errors.end(), '\n'), 1) << run.errors;
        EXPECT_EQ(run.bytesOnLine, kSequenceBytes);
    }
}

TEST(SyncClockCheck, RequireSyncedSendsNothingAndExits4) {
    for (const auto status :
         {platform::ClockSyncStatus::NotSynchronised, platform::ClockSyncStatus::Unknown}) {
        const Outcome run = Sync(State(status), true);
        EXPECT_EQ(run.status, kExitClockNotSynced);
        EXPECT_NE(run.errors.find("not setting any device"), std::string::npos) << run.errors;
        EXPECT_EQ(run.bytesOnLine, 0u);
        EXPECT_EQ(run.out, "");
    }
}

TEST(SyncClockCheck, VerboseTellsTheEstimatedErrorWhereKnown) {
    platform::ClockSyncState state = State(platform::ClockSyncStatus::Synchronised);
    state.estimatedErrorMicroseconds = 1'500;
    state.maximumErrorMicroseconds = 250'000;
    const Outcome run = Sync(state, false, SyncCommand::Verbosity::Verbose);
    EXPECT_NE(run.out.find("the computer's clock is synchronised: as the test says; estimated "
                           "error 1.500 ms, at most 250.000 ms\n"),
              std::string::npos)
        << run.out;
}

// The system's own answer, whatever it is here: a warning exactly when it does not say
// synchronised, and a refusal under --require-synced then.
TEST(SyncClockCheck, TheSystemsOwnAnswerIsHeeded) {
    const platform::ClockSyncState state = platform::ReadClockSyncState();
    std::printf("this system: %s\n", ClockStateSentence(state).c_str());
    const bool synced = state.status == platform::ClockSyncStatus::Synchronised;
    const Outcome run = Sync(state, false);
    EXPECT_EQ(run.status, kExitSent);
    EXPECT_EQ(run.errors.find("warning") != std::string::npos, !synced) << run.errors;
    EXPECT_EQ(Sync(state, true).status, synced ? kExitSent : kExitClockNotSynced);
}

} // namespace

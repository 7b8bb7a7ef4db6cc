#include "platform/ClockSync.h"

#include "platform/SystemError.h"
#include "platform/posix/ClockDiscipline.h"

#include <cerrno>
#include <sys/timex.h>

namespace platform {

namespace {

// The kernel counts a clock whose error bound has grown to 16 s as no longer synchronised.
constexpr long kUnsynchronisedBoundMicroseconds = 16'000'000;

} // namespace

ClockSyncState InterpretClockDiscipline(int result, int error, int status, long estimatedError,
                                        long maximumError) {
    ClockSyncState state;
    if (result < 0) {
        state.reason = "the kernel's clock discipline cannot be read: " +
                       SystemErrorLine(static_cast<unsigned>(error));
        return state;
    }
    state.estimatedErrorMicroseconds = estimatedError;
    state.maximumErrorMicroseconds = maximumError;
    if (result == TIME_ERROR || (status & STA_UNSYNC) != 0) {
        state.status = ClockSyncStatus::NotSynchronised;
        state.reason = "the kernel's clock discipline has no time source";
        return state;
    }
    if (maximumError >= kUnsynchronisedBoundMicroseconds) {
        state.status = ClockSyncStatus::NotSynchronised;
        state.reason = "the kernel's bound of its error has grown to 16 s";
        return state;
    }
    state.status = ClockSyncStatus::Synchronised;
    state.reason = "the kernel's clock discipline follows a time source";
    return state;
}

ClockSyncState ReadClockSyncState() {
    timex reading{};
    reading.modes = 0; // read only
    const int result = ::adjtimex(&reading);
    const int error = errno;
    return InterpretClockDiscipline(result, error, reading.status, reading.esterror,
                                    reading.maxerror);
}

} // namespace platform

#include "RepeatedSync.h"

#include "CommandLine.h"
#include "ComputerClock.h"
#include "InstantText.h"

#include <chrono>
#include <thread>

int RunRepeatedly(SyncRun& run, std::int64_t periodMicroseconds, const SyncPort& port, SyncLog& log,
                  const platform::Interruption& interruption, platform::DeadlineTimer& timer) {
    std::int64_t next = platform::SystemClockMicroseconds();
    bool failing = false;
    for (;;) {
        const RunOutcome outcome = run.Once();
        if (outcome == RunOutcome::Interrupted) {
            return kExitInterrupted;
        }
        if (outcome == RunOutcome::Sent && failing) {
            log.Error(port.Name() + " works again");
        }
        failing = outcome != RunOutcome::Sent;

        // The next run on the schedule that is still ahead: runs longer than the period skip
        // the runs they overlap.
        const std::int64_t now = platform::SystemClockMicroseconds();
        while (next <= now) {
            next += periodMicroseconds;
        }
        if (failing) {
            log.Error("trying " + port.Name() + " again at " +
                      FormatInstant(ComputerLocalTime(next)).substr(0, 19));
        }
        switch (timer.WaitUntil(next, interruption)) {
        case platform::DeadlineWait::Reached:
            break;
        case platform::DeadlineWait::Interrupted:
            return kExitSent;
        case platform::DeadlineWait::Failed:
            // No timer to wait on: a plain sleep keeps the schedule, if less exactly.
            log.Error("cannot wait on the clock (" + LastSystemReason() + "); sleeping instead");
            std::this_thread::sleep_for(
                std::chrono::microseconds(next - platform::SystemClockMicroseconds()));
            break;
        }
    }
}

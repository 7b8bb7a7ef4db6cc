#include "RepeatedSync.h"

#include "CommandLine.h"
#include "ComputerClock.h"
#include "tools/common/InstantText.h"
#include "tools/common/PortErrorWords.h"

#include <chrono>
#include <thread>

namespace kalvor_sync {

int RunRepeatedly(SyncRun& run, std::int64_t periodMicroseconds, const platform::PortName& port,
                  SyncLog& log, const platform::Interruption& interruption,
                  platform::DeadlineTimer& timer) {
    std::int64_t next = platform::SystemClockMicroseconds();
    bool failing = false;
    for (;;) {
        const RunOutcome outcome = run.Once();
        if (outcome == RunOutcome::Interrupted) {
            return kExitInterrupted;
        }
        if (outcome == RunOutcome::Sent && failing) {
            log.Error(port.label + " works again");
        }
        failing = outcome != RunOutcome::Sent;

        // The next run on the schedule that is still ahead: runs longer than the period skip
        // the runs they overlap.
        const std::int64_t now = platform::SystemClockMicroseconds();
        while (next <= now) {
            next += periodMicroseconds;
        }
        if (failing) {
            log.Error("trying " + port.label + " again at " +
                      kalvor_tools::FormatSecond(ComputerLocalTime(next)));
        }
        switch (timer.WaitUntil(next, interruption)) {
        case platform::DeadlineWait::Reached:
            break;
        case platform::DeadlineWait::Interrupted:
            return kExitSent;
        case platform::DeadlineWait::Failed:
            // No timer to wait on: a plain sleep keeps the schedule, if less exactly.
            log.Error("cannot wait on the clock (" + kalvor_tools::LastSystemReason() +
                      "); sleeping instead");
            std::this_thread::sleep_for(
                std::chrono::microseconds(next - platform::SystemClockMicroseconds()));
            break;
        }
    }
}

} // namespace kalvor_sync

#pragma once

#include "ClockCheck.h"
#include "CommandLine.h"

#include <ostream>

namespace kalvor_sync {

// What kalvor-sync does for a command that sets devices (Action::Sync): one sequence on every
// port, or with --every the watch that keeps them set; results on `out`, warnings and errors on
// `errors`; the computer's clock state from `readClockSync`. Returns the exit status.
int RunSync(const SyncCommand& command, std::ostream& out, std::ostream& errors,
            const ClockCheck::Reader& readClockSync);

} // namespace kalvor_sync

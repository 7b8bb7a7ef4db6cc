#pragma once

#include "ClockCheck.h"
#include "CommandLine.h"
#include "DeviceOpening.h"

#include <ostream>

namespace kalvor_sync {

// What kalvor-sync does for a command that sets devices (Action::Sync): one sequence on every
// device, or with --every the watch that keeps them set; results on `out`, warnings and errors on
// `errors`; the computer's clock state from `readClockSync`, network devices reached as `network`
// says. Returns the exit status.
int RunSync(const SyncCommand& command, std::ostream& out, std::ostream& errors,
            const ClockCheck::Reader& readClockSync, const NetworkOptions& network = {});

} // namespace kalvor_sync

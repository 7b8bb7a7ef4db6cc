#pragma once

#include "platform/Interruption.h"
#include "platform/ServiceNotify.h"
#include "tools/kalvor-sync/command/SyncCommand.h"
#include "tools/kalvor-sync/follow/ClockCheck.h"
#include "tools/kalvor-sync/links/NetworkOptions.h"
#include "tools/kalvor-sync/log/SyncLog.h"

#include <ostream>

namespace kalvor_sync {

// What kalvor-sync does for a command that sets devices (Action::Sync): one sequence on every
// device, or with --every the watch that keeps them set; results on `out`, warnings and errors on
// `errors` and, where a system log takes them, to `events`; the computer's clock state from
// `readClockSync`, network devices reached as `network` says; the status and metrics files the
// command names, and the service manager that runs the program, told through `notify` how it
// goes; stopped by `interruption`. Returns the exit status.
int RunSync(const SyncCommand& command, std::ostream& out, std::ostream& errors,
            const ClockCheck::Reader& readClockSync, const platform::Interruption& interruption,
            platform::ServiceNotify& notify, const SyncLog::EventSink& events = {},
            const NetworkOptions& network = {});

// The same, with the process's own notifier.
int RunSync(const SyncCommand& command, std::ostream& out, std::ostream& errors,
            const ClockCheck::Reader& readClockSync, const platform::Interruption& interruption);

// The same, stopped by the user's request (Ctrl-C, SIGTERM).
int RunSync(const SyncCommand& command, std::ostream& out, std::ostream& errors,
            const ClockCheck::Reader& readClockSync, const NetworkOptions& network = {});

} // namespace kalvor_sync

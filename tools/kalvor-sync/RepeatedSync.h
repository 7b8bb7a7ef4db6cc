#pragma once

#include "SyncRun.h"

#include <cstdint>

namespace kalvor_sync {

// Runs a sequence every `periodMicroseconds` on the computer's clock, from now until the user
// asks to stop. A run that fails (the device unplugged, the port taken) is told on the log and
// the port is opened afresh at the next one; nothing but the user's request ends it. The exit
// code: 0 when stopped between sequences, 130 when stopped during one.
int RunRepeatedly(SyncRun& run, std::int64_t periodMicroseconds, const platform::PortName& port,
                  SyncLog& log, const platform::Interruption& interruption,
                  platform::DeadlineTimer& timer);

} // namespace kalvor_sync

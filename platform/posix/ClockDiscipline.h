#pragma once

#include "platform/ClockSync.h"

namespace platform {

// The kernel's answer to adjtimex() as the state of the clock's synchronisation. `result` is
// what adjtimex returned (the clock state, or -1 with `error`), `status` its status bits,
// `estimatedError` and `maximumError` its error estimate and bound in microseconds. Pure, so
// that every answer the kernel can give is tested without a kernel that gives it.
ClockSyncState InterpretClockDiscipline(int result, int error, int status, long estimatedError,
                                        long maximumError);

} // namespace platform

#pragma once

#include "platform/CommPort.h"
#include "platform/LineFormat.h"
#include "platform/PortError.h"

#include <cstdint>
#include <optional>

namespace platform {

// How a program sets an open port up as a clock device's line. The line format is the device's
// and every program asks the same of it; the time-outs and the event mask are each program's
// own: the window's monitor waits for port events and writes within 1000 ms per byte,
// kalvor-sync's serial link reads nothing and gives a frame 150 ms, kalvor-sim only reads.
struct LineSetUp {
    CommTimeouts timeouts;
    std::uint32_t eventMask = 0; // 0: no event wait is set up
    LineFormat format;
};

// The steps every program takes, in this order: the time-outs, the event mask (when one is
// asked for), the line settings read into `settings`, RTS held on, the format applied (flow
// control off, the rest of the settings kept) and the settings written back. The first step that
// fails ends it and is returned, with the system's error left for the caller to capture; the port
// keeps what was applied before. Nothing is purged: each program empties the queues itself.
std::optional<PortOperation> SetUpClockLine(CommPort& port, const LineSetUp& setUp,
                                            LineSettings& settings);

} // namespace platform

#pragma once

#include "platform/LocalTime.h"

#include <cstdint>

namespace platform {

// The computer's clock (the one local time is read from) in microseconds since 1970-01-01
// 00:00:00 UTC, as finely as the platform reads it. It may step when the clock is set.
std::int64_t SystemClockMicroseconds();

// The local civil time at an instant of that clock, to the millisecond, with the time-zone rules
// (daylight saving included) in force at that instant.
LocalInstant LocalTimeAt(std::int64_t microseconds);

// The computer's clocks read together, so that a watcher can tell the wall clock stepping (it
// moved against the monotonic clock) and the local time's offset from UTC changing.
struct ClockReadings {
    std::int64_t wallMicroseconds = 0; // SystemClockMicroseconds()
    // Counts on steadily whatever is done to the wall clock: MonotonicMicroseconds()
    // (platform/MonotonicClock.h).
    std::int64_t monotonicMicroseconds = 0;
    int utcOffsetSeconds = 0; // local time minus UTC, now (with the time zone in force now)
};
ClockReadings ReadClocks();

} // namespace platform

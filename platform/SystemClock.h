#pragma once

#include "platform/LocalTime.h"

#include <cstdint>

namespace platform {

// The computer's clock (the one local time is read from) in microseconds since 1970-01-01
// 00:00:00 UTC, as finely as the platform reads it. It may step when the clock is set.
std::int64_t SystemClockMicroseconds();

// The local civil time at an instant of that clock, to the millisecond, with the time-zone rules
// (daylight saving included) in force at that instant.
LocalTime LocalTimeAt(std::int64_t microseconds);

} // namespace platform

#pragma once

#include "platform/SystemClock.h"
#include "tools/kalvor-sync/status/RunReason.h"

#include <cstdint>
#include <optional>
#include <string>

namespace kalvor_sync {

// A step of the wall clock against the monotonic clock beyond this is worth setting the devices
// again; less is the drift and slewing of a clock that is kept, which the devices' own error
// dwarfs.
inline constexpr std::int64_t kClockStepMicroseconds = 500'000;
// Monotonic time between two readings beyond this (when they were meant to be a moment apart)
// means the computer slept (where the monotonic clock counts on through sleep) or stood still.
inline constexpr std::int64_t kPauseMicroseconds = 5'000'000;

// Why the devices should be set again, given two readings of the clocks taken one after the
// other: "clock stepped +3.2 s", "UTC offset changed to +02:00" (an offset change), "the
// computer stood still for 31 s" (a clock step too); nothing when neither happened. Pure.
std::optional<RunReason> DescribeClockChange(const platform::ClockReadings& before,
                                             const platform::ClockReadings& after);

} // namespace kalvor_sync

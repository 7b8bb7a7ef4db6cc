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

// With a time reference, what the devices were last set with: the reference's true time minus the
// monotonic clock then, or nothing when they got the computer's time.
using ReferenceOffset = std::optional<std::int64_t>;

// Why the devices should be set again, given what they were set with and what the reference
// tells now: it tells the time again after they got the computer's ("the time reference tells
// the time"), or its time moved against the monotonic clock beyond a step ("the time reference
// moved +1.2 s", as it does when answers come back after a long holdover). Pure.
std::optional<RunReason> DescribeReferenceChange(const ReferenceOffset& setWith,
                                                 const ReferenceOffset& now);

} // namespace kalvor_sync

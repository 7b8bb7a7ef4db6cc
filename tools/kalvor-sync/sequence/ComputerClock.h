#pragma once

#include "platform/LocalInstant.h"
#include "platform/SystemClock.h"
#include "timeset/SequencePlan.h"

#include <cstdint>

namespace kalvor_sync {

// The computer's local time at an instant of its clock, as a plan reads it.
inline LocalInstant ComputerLocalTime(std::int64_t microseconds) {
    return platform::LocalTimeAt(microseconds);
}

// The computer's offset from UTC at an instant, in seconds: its local civil time then, counted as
// seconds, less the instant's.
inline std::int32_t ComputerUtcOffsetAt(std::int64_t utcMicroseconds) {
    const std::int64_t civil = CivilClockInstant(ComputerLocalTime(utcMicroseconds));
    const std::int64_t second =
        utcMicroseconds - ((utcMicroseconds % 1'000'000) + 1'000'000) % 1'000'000;
    return static_cast<std::int32_t>((civil - civil % 1'000'000 - second) / 1'000'000);
}

// The instant at which the computer's local clock reads `local` (the later reading of a time
// that comes twice as the clocks go back; a time skipped as they go forward counts on from
// before the skip).
inline std::int64_t ComputerInstantOf(const LocalInstant& local) {
    const std::int64_t civil = CivilClockInstant(local);
    std::int64_t utc = civil - std::int64_t{ComputerUtcOffsetAt(civil)} * 1'000'000;
    utc = civil - std::int64_t{ComputerUtcOffsetAt(utc)} * 1'000'000;
    return utc;
}

} // namespace kalvor_sync

#include "ClockChange.h"

#include "tools/common/zones/ZoneOffset.h"

#include <cstdio>

namespace kalvor_sync {

std::optional<RunReason> DescribeClockChange(const platform::ClockReadings& before,
                                             const platform::ClockReadings& after) {
    const std::int64_t elapsed = after.monotonicMicroseconds - before.monotonicMicroseconds;
    const std::int64_t step = (after.wallMicroseconds - before.wallMicroseconds) - elapsed;
    char text[64];
    if (step > kClockStepMicroseconds || step < -kClockStepMicroseconds) {
        std::snprintf(text, sizeof text, "clock stepped %+.1f s", static_cast<double>(step) / 1e6);
        return RunReason{RunReason::Kind::ClockStep, text};
    }
    if (after.utcOffsetSeconds != before.utcOffsetSeconds) {
        return RunReason{RunReason::Kind::OffsetChange,
                         "UTC offset changed to " +
                             kalvor_zones::FormatUtcOffset(after.utcOffsetSeconds)};
    }
    if (elapsed > kPauseMicroseconds) {
        std::snprintf(text, sizeof text, "the computer stood still for %.0f s",
                      static_cast<double>(elapsed) / 1e6);
        return RunReason{RunReason::Kind::ClockStep, text};
    }
    return std::nullopt;
}

std::optional<RunReason> DescribeReferenceChange(const ReferenceOffset& setWith,
                                                 const ReferenceOffset& now) {
    if (!now) {
        return std::nullopt; // the devices keep what they got until the reference tells again
    }
    if (!setWith) {
        return RunReason{RunReason::Kind::Reference, "the time reference tells the time"};
    }
    const std::int64_t moved = *now - *setWith;
    if (moved > kClockStepMicroseconds || moved < -kClockStepMicroseconds) {
        char text[64];
        std::snprintf(text, sizeof text, "the time reference moved %+.1f s",
                      static_cast<double>(moved) / 1e6);
        return RunReason{RunReason::Kind::Reference, text};
    }
    return std::nullopt;
}

} // namespace kalvor_sync

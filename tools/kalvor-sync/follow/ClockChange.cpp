#include "ClockChange.h"

#include <cstdio>
#include <cstdlib>

namespace kalvor_sync {

std::string UtcOffsetText(int seconds) {
    const int minutes = std::abs(seconds) / 60;
    char text[16];
    std::snprintf(text, sizeof text, "%c%02d:%02d", seconds < 0 ? '-' : '+', minutes / 60,
                  minutes % 60);
    return text;
}

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
                         "UTC offset changed to " + UtcOffsetText(after.utcOffsetSeconds)};
    }
    if (elapsed > kPauseMicroseconds) {
        std::snprintf(text, sizeof text, "the computer stood still for %.0f s",
                      static_cast<double>(elapsed) / 1e6);
        return RunReason{RunReason::Kind::ClockStep, text};
    }
    return std::nullopt;
}

} // namespace kalvor_sync

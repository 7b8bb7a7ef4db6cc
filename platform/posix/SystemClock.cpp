#include "platform/SystemClock.h"

#include <ctime>

namespace platform {

std::int64_t SystemClockMicroseconds() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return std::int64_t{now.tv_sec} * 1'000'000 + now.tv_nsec / 1000;
}

LocalTime LocalTimeAt(std::int64_t microseconds) {
    // Whole seconds rounded down, so that instants before 1970 keep a positive remainder.
    std::int64_t seconds = microseconds / 1'000'000;
    if (microseconds % 1'000'000 < 0) {
        --seconds;
    }
    const auto milliseconds = static_cast<int>((microseconds - seconds * 1'000'000) / 1000);
    const auto at = static_cast<time_t>(seconds);
    tm local{};
    localtime_r(&at, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_wday, local.tm_mday, local.tm_hour,
            local.tm_min,
            // A leap second reads as the last second of its minute, as on Windows.
            local.tm_sec > 59 ? 59 : local.tm_sec, milliseconds};
}

} // namespace platform

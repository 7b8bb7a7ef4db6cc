#include "platform/SystemClock.h"

#include "platform/MonotonicClock.h"

#include <ctime>

namespace platform {

std::int64_t SystemClockMicroseconds() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return std::int64_t{now.tv_sec} * 1'000'000 + now.tv_nsec / 1000;
}

ClockReadings ReadClocks() {
    ClockReadings readings;
    readings.monotonicMicroseconds = MonotonicMicroseconds();
    readings.wallMicroseconds = SystemClockMicroseconds();
    // The zone is read again each time, so that a change of TZ's rules is seen.
    tzset();
    const auto at = static_cast<time_t>(readings.wallMicroseconds / 1'000'000);
    tm local{};
    localtime_r(&at, &local);
    readings.utcOffsetSeconds = static_cast<int>(local.tm_gmtoff);
    return readings;
}

LocalInstant LocalTimeAt(std::int64_t microseconds) {
    // Whole seconds rounded down, so that instants before 1970 keep a positive remainder.
    std::int64_t seconds = microseconds / 1'000'000;
    if (microseconds % 1'000'000 < 0) {
        --seconds;
    }
    const auto milliseconds = static_cast<int>((microseconds - seconds * 1'000'000) / 1000);
    const auto at = static_cast<time_t>(seconds);
    tm local{};
    localtime_r(&at, &local);
    // A leap second reads as the last second of its minute, as on Windows.
    const int second = local.tm_sec > 59 ? 59 : local.tm_sec;
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_wday,
            local.tm_hour,        local.tm_min,     second,        milliseconds};
}

} // namespace platform

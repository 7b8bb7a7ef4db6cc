#include "platform/LocalTime.h"

#include <ctime>

namespace platform {

LocalTime ReadLocalTime() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    localtime_r(&now.tv_sec, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_wday, local.tm_mday, local.tm_hour,
            local.tm_min,
            // A leap second reads as the last second of its minute, as on Windows.
            local.tm_sec > 59 ? 59 : local.tm_sec, static_cast<int>(now.tv_nsec / 1000000)};
}

} // namespace platform

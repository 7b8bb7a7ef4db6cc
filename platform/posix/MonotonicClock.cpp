#include "platform/MonotonicClock.h"

#include <ctime>

namespace platform {

std::int64_t MonotonicMicroseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return std::int64_t{now.tv_sec} * 1'000'000 + now.tv_nsec / 1000;
}

std::string MonotonicClockNotice() {
    return {};
}

} // namespace platform

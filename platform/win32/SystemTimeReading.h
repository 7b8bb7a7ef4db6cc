#pragma once

#include "platform/LocalTime.h"

#include <windows.h>

namespace platform {

// A SYSTEMTIME as this layer's reading of the clock.
inline LocalTime ReadingOf(const SYSTEMTIME& time) {
    return {.year = time.wYear,
            .month = time.wMonth,
            .day = time.wDay,
            .dayOfWeek = time.wDayOfWeek,
            .hour = time.wHour,
            .minute = time.wMinute,
            .second = time.wSecond,
            .milliseconds = time.wMilliseconds};
}

} // namespace platform

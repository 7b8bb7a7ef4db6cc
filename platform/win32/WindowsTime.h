#pragma once

#include "platform/LocalInstant.h"

#include <cstdint>
#include <windows.h>

namespace platform {

// FILETIME counts 100 ns since 1601-01-01 UTC; this many of them lie before 1970-01-01.
inline constexpr std::int64_t kFileTimeAt1970 = 116'444'736'000'000'000;

// A SYSTEMTIME as this layer's reading of the clock.
inline LocalInstant ReadingOf(const SYSTEMTIME& time) {
    return {time.wYear, time.wMonth,  time.wDay,    time.wDayOfWeek,
            time.wHour, time.wMinute, time.wSecond, time.wMilliseconds};
}

} // namespace platform

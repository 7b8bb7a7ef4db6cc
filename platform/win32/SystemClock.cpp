#include "platform/SystemClock.h"

#include "platform/MonotonicClock.h"
#include "platform/win32/WindowsTime.h"

#include <windows.h>

namespace platform {

namespace {

using ClockReader = void(WINAPI*)(FILETIME*);

// Windows 8 and later read the clock to the microsecond; older ones (XP included) only to the
// timer tick, and lack the precise reader, so it is looked up rather than imported.
ClockReader FinestClockReader() {
    static const ClockReader reader = [] {
        const HMODULE kernel = ::GetModuleHandleA("kernel32.dll");
        const FARPROC precise = kernel != nullptr
                                    ? ::GetProcAddress(kernel, "GetSystemTimePreciseAsFileTime")
                                    : nullptr;
        return precise != nullptr
                   ? reinterpret_cast<ClockReader>(reinterpret_cast<void (*)()>(precise))
                   : &::GetSystemTimeAsFileTime;
    }();
    return reader;
}

} // namespace

std::int64_t SystemClockMicroseconds() {
    FILETIME now{};
    FinestClockReader()(&now);
    const std::int64_t ticks =
        static_cast<std::int64_t>((std::uint64_t{now.dwHighDateTime} << 32) | now.dwLowDateTime);
    return (ticks - kFileTimeAt1970) / 10;
}

ClockReadings ReadClocks() {
    ClockReadings readings;
    readings.monotonicMicroseconds = MonotonicMicroseconds();
    readings.wallMicroseconds = SystemClockMicroseconds();
    TIME_ZONE_INFORMATION zone{};
    LONG bias = 0;
    switch (::GetTimeZoneInformation(&zone)) {
    case TIME_ZONE_ID_STANDARD:
        bias = zone.Bias + zone.StandardBias;
        break;
    case TIME_ZONE_ID_DAYLIGHT:
        bias = zone.Bias + zone.DaylightBias;
        break;
    case TIME_ZONE_ID_UNKNOWN:
        bias = zone.Bias;
        break;
    default:
        break;
    }
    // The bias is UTC minus local time, in minutes.
    readings.utcOffsetSeconds = static_cast<int>(-bias * 60);
    return readings;
}

LocalInstant LocalTimeAt(std::int64_t microseconds) {
    const auto ticks = static_cast<std::uint64_t>(microseconds * 10 + kFileTimeAt1970);
    FILETIME at{static_cast<DWORD>(ticks & 0xFFFFFFFF), static_cast<DWORD>(ticks >> 32)};
    SYSTEMTIME utc{};
    SYSTEMTIME local{};
    if (!::FileTimeToSystemTime(&at, &utc) ||
        !::SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) {
        return {};
    }
    return ReadingOf(local);
}

} // namespace platform

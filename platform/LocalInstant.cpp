#include "platform/LocalInstant.h"

#include <algorithm>
#include <chrono>

namespace {

namespace chrono = std::chrono;
using Milliseconds = chrono::duration<std::int64_t, std::milli>;

constexpr std::int64_t kMillisecondsPerDay = 86'400'000;

// The calendar types hold the years -32767 to 32767; a field outside them (no clock or device
// gives one) is held at the nearest, so that the arithmetic stays defined.
chrono::year YearOf(std::int64_t year) {
    return chrono::year{static_cast<int>(std::clamp<std::int64_t>(
        year, static_cast<int>(chrono::year::min()), static_cast<int>(chrono::year::max())))};
}

// The day of a date whose month and day may lie outside their ranges: they carry, as if counted
// on from January and from the month's first day.
chrono::sys_days DayOf(std::int64_t year, std::int64_t month, std::int64_t day) {
    const chrono::year_month first = YearOf(year) / chrono::January + chrono::months{month - 1};
    return chrono::sys_days{first / 1} + chrono::days{day - 1};
}

// An instant as milliseconds since 1970-01-01 00:00:00 of the same (time-zone-free) clock.
Milliseconds SinceEpoch(const LocalInstant& t) {
    return DayOf(t.m_year, t.m_month, t.m_day).time_since_epoch() + chrono::hours{t.m_hour} +
           chrono::minutes{t.m_minute} + chrono::seconds{t.m_second} +
           Milliseconds{t.m_milliseconds};
}

} // namespace

LocalInstant AddMilliseconds(const LocalInstant& from, std::int64_t milliseconds) {
    const Milliseconds moved = SinceEpoch(from) + Milliseconds{milliseconds};
    const chrono::sys_days day = chrono::floor<chrono::days>(chrono::sys_time<Milliseconds>{moved});
    const chrono::year_month_day date{day};
    const chrono::hh_mm_ss<Milliseconds> time{moved - day.time_since_epoch()};

    LocalInstant result;
    result.m_year = static_cast<int>(date.year());
    result.m_month = static_cast<int>(static_cast<unsigned>(date.month()));
    result.m_day = static_cast<int>(static_cast<unsigned>(date.day()));
    result.m_weekday = static_cast<int>(chrono::weekday{day}.c_encoding());
    result.m_hour = static_cast<int>(time.hours().count());
    result.m_minute = static_cast<int>(time.minutes().count());
    result.m_second = static_cast<int>(time.seconds().count());
    result.m_milliseconds = static_cast<int>(time.subseconds().count());
    return result;
}

std::int64_t MillisecondsBetween(const LocalInstant& from, const LocalInstant& to) {
    return (SinceEpoch(to) - SinceEpoch(from)).count();
}

bool IsLeapYear(std::int32_t year) {
    return YearOf(year).is_leap();
}

std::int32_t DaysInMonth(std::int32_t year, std::int32_t month) {
    if (month < 1 || month > 12) {
        return 0;
    }
    const chrono::year_month_day_last last{
        YearOf(year) / chrono::month{static_cast<unsigned>(month)} / chrono::last};
    return static_cast<std::int32_t>(static_cast<unsigned>(last.day()));
}

std::int32_t WeekdayOf(std::int32_t year, std::int32_t month, std::int32_t day) {
    return static_cast<std::int32_t>(chrono::weekday{DayOf(year, month, day)}.c_encoding());
}

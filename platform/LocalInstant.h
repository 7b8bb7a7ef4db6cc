#pragma once

#include <cstdint>

// A local civil date and time to the millisecond: what the computer's local clock reads, what the
// clock display shows and what the time-set frames carry. No time zone and no daylight saving,
// only the Gregorian calendar (leap years by the 4/100/400 rules, extended to the years -32767 to
// 32767, which the standard calendar types hold). All zero until it is first set.
struct LocalInstant {
    std::int32_t m_year = 0;         // full year, such as 2016
    std::int32_t m_month = 0;        // 1 to 12
    std::int32_t m_day = 0;          // 1 to 31
    std::int32_t m_weekday = 0;      // 0 Sunday, 1 Monday ... 6 Saturday; kept by the arithmetic
    std::int32_t m_hour = 0;         // 0 to 23
    std::int32_t m_minute = 0;       // 0 to 59
    std::int32_t m_second = 0;       // 0 to 59
    std::int32_t m_milliseconds = 0; // 0 to 999

    friend bool operator==(const LocalInstant&, const LocalInstant&) = default;
};

// The same instant with its milliseconds dropped: what a reading shows to the second.
constexpr LocalInstant WholeSecondOf(LocalInstant instant) {
    instant.m_milliseconds = 0;
    return instant;
}

// The instant `milliseconds` after `from` (before it, if negative), with every carry through
// seconds, minutes, hours, days, months and years; the weekday is recomputed (0 Sunday).
// Fields out of their range carry as if counted on (31 April reads as 1 May); the weekday of the
// input is ignored.
LocalInstant AddMilliseconds(const LocalInstant& from, std::int64_t milliseconds);

// `to` minus `from` in milliseconds: positive when `to` is later. Weekdays are ignored.
std::int64_t MillisecondsBetween(const LocalInstant& from, const LocalInstant& to);

bool IsLeapYear(std::int32_t year);
std::int32_t DaysInMonth(std::int32_t year, std::int32_t month);                 // month 1 to 12
std::int32_t WeekdayOf(std::int32_t year, std::int32_t month, std::int32_t day); // 0 Sunday

#pragma once

#include "TimeSnapshot.h"
#include "platform/LocalTime.h"

#include <cstdint>

// A local civil date and time to the millisecond, with calendar arithmetic: no time zones and no
// daylight saving, only the Gregorian calendar (leap years by the 4/100/400 rules, extended to
// the years -32767 to 32767, which the standard calendar types hold).
//
// Used wherever an instant is moved by a known number of milliseconds: the seven frames of one
// time-set sequence are built from the instant at which its last frame is due, and a device clock
// is read as the moment it was set plus the time since.
struct LocalInstant {
    TimeSnapshot m_time;             // m_weekday is kept in step with the date by the arithmetic
    std::int32_t m_milliseconds = 0; // 0 to 999

    friend bool operator==(const LocalInstant&, const LocalInstant&) = default;
};

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

inline LocalInstant ToLocalInstant(const platform::LocalTime& reading) {
    return {{reading.year, reading.month, reading.day, reading.dayOfWeek, reading.hour,
             reading.minute, reading.second},
            reading.milliseconds};
}

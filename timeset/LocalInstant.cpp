#include "LocalInstant.h"

#include <limits>

namespace {

constexpr std::int64_t kMillisecondsPerDay = 86'400'000;

// Division and remainder rounding towards minus infinity, so that instants before an epoch or a
// negative offset carry the same way as positive ones.
std::int64_t FloorDiv(std::int64_t value, std::int64_t divisor) {
    const std::int64_t quotient = value / divisor;
    return (value % divisor != 0 && (value < 0) != (divisor < 0)) ? quotient - 1 : quotient;
}

std::int64_t FloorMod(std::int64_t value, std::int64_t divisor) {
    return value - FloorDiv(value, divisor) * divisor;
}

// Days since Thursday 1 January 1970, counting in eras of 400 years (146 097 days), in which the
// Gregorian calendar repeats itself. The year is taken to start in March so that the leap day is
// the era year's last day. Any month number is accepted: it carries into the year.
std::int64_t DaysSinceEpoch(std::int64_t year, std::int64_t month, std::int64_t day) {
    year += FloorDiv(month - 1, 12);
    month = FloorMod(month - 1, 12) + 1;
    if (month <= 2) {
        year -= 1;
    }
    const std::int64_t era = FloorDiv(year, 400);
    const std::int64_t yearOfEra = year - era * 400;      // 0 to 399
    const std::int64_t monthFromMarch = (month + 9) % 12; // March 0 ... February 11
    const std::int64_t dayOfYear = (153 * monthFromMarch + 2) / 5 + day - 1; // 0 to 365 in range
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146'097 + dayOfEra - 719'468; // 719 468 days from 1 March 0000 to 1 January 1970
}

struct CivilDate {
    std::int64_t year;
    std::int32_t month;
    std::int32_t day;
};

CivilDate DateFromDaysSinceEpoch(std::int64_t days) {
    days += 719'468;
    const std::int64_t era = FloorDiv(days, 146'097);
    const std::int64_t dayOfEra = days - era * 146'097; // 0 to 146 096
    const std::int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36'524 - dayOfEra / 146'096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t monthFromMarch = (5 * dayOfYear + 2) / 153;
    const auto day = static_cast<std::int32_t>(dayOfYear - (153 * monthFromMarch + 2) / 5 + 1);
    const auto month =
        static_cast<std::int32_t>(monthFromMarch < 10 ? monthFromMarch + 3 : monthFromMarch - 9);
    return {yearOfEra + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

std::int32_t WeekdayOfDaysSinceEpoch(std::int64_t days) {
    return static_cast<std::int32_t>(FloorMod(days + 4, 7)); // 1 January 1970 was a Thursday
}

// The instant as whole days since the epoch plus the milliseconds into the day, the latter
// carried into the former so that it lies in 0 .. one day.
struct DayAndTime {
    std::int64_t days;
    std::int64_t millisecondOfDay;
};

DayAndTime Split(const LocalInstant& instant) {
    const TimeSnapshot& t = instant.m_time;
    const std::int64_t timeOfDay =
        ((std::int64_t{t.m_hour} * 60 + t.m_minute) * 60 + t.m_second) * 1000 +
        instant.m_milliseconds;
    return {DaysSinceEpoch(t.m_year, t.m_month, t.m_day) + FloorDiv(timeOfDay, kMillisecondsPerDay),
            FloorMod(timeOfDay, kMillisecondsPerDay)};
}

} // namespace

LocalInstant AddMilliseconds(const LocalInstant& from, std::int64_t milliseconds) {
    const DayAndTime start = Split(from);
    // Whole days and the rest apart, so that no sum can leave 64 bits.
    const std::int64_t millisecondOfDay =
        start.millisecondOfDay + FloorMod(milliseconds, kMillisecondsPerDay);
    const std::int64_t days = start.days + FloorDiv(milliseconds, kMillisecondsPerDay) +
                              millisecondOfDay / kMillisecondsPerDay;
    const std::int64_t rest = millisecondOfDay % kMillisecondsPerDay;

    const CivilDate date = DateFromDaysSinceEpoch(days);
    LocalInstant result;
    result.m_time.m_year = static_cast<std::int32_t>(date.year);
    result.m_time.m_month = date.month;
    result.m_time.m_day = date.day;
    result.m_time.m_weekday = WeekdayOfDaysSinceEpoch(days);
    result.m_time.m_hour = static_cast<std::int32_t>(rest / 3'600'000);
    result.m_time.m_minute = static_cast<std::int32_t>(rest / 60'000 % 60);
    result.m_time.m_second = static_cast<std::int32_t>(rest / 1000 % 60);
    result.m_milliseconds = static_cast<std::int32_t>(rest % 1000);
    return result;
}

std::int64_t MillisecondsBetween(const LocalInstant& from, const LocalInstant& to) {
    const DayAndTime a = Split(from);
    const DayAndTime b = Split(to);
    const std::int64_t days = b.days - a.days;
    constexpr std::int64_t kMaxDays =
        std::numeric_limits<std::int64_t>::max() / kMillisecondsPerDay - 1;
    if (days > kMaxDays) {
        return std::numeric_limits<std::int64_t>::max();
    }
    if (days < -kMaxDays) {
        return std::numeric_limits<std::int64_t>::min();
    }
    return days * kMillisecondsPerDay + (b.millisecondOfDay - a.millisecondOfDay);
}

bool IsLeapYear(std::int32_t year) {
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

std::int32_t DaysInMonth(std::int32_t year, std::int32_t month) {
    constexpr std::int32_t kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) {
        return 0;
    }
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

std::int32_t WeekdayOf(std::int32_t year, std::int32_t month, std::int32_t day) {
    return WeekdayOfDaysSinceEpoch(DaysSinceEpoch(year, month, day));
}

#pragma once

#include "tools/common/zones/ZoneOffset.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kalvor_zones {

// The rule of a POSIX TZ text as a compiled zone file's footer holds it, with RFC 8536's
// extensions: "CET-1CEST,M3.5.0,M10.5.0/3", "<+0545>-5:45", "<-02>2<-01>,M3.5.0/-1,M10.5.0/0".
// Standard time alone, or standard and daylight saving time switched on two dates a year (Jn,
// n or Mm.w.d, at a time of day from -167 to 167 hours); daylight saving all year when it begins
// on 1 January at 00:00 and ends where the next year's begins.
class PosixRule {
public:
    // The rule, or nothing and what is wrong with `text` in words.
    static std::optional<PosixRule> Parse(std::string_view text, std::string& error);

    // The local time type in force at `utcSeconds` (since 1970 UTC, leap seconds not counted).
    const ZoneOffset& At(std::int64_t utcSeconds) const;

    // The first switch between standard and daylight saving time after `utcSeconds`, whether or
    // not the offset changes with it; none for a rule without daylight saving.
    std::optional<std::int64_t> NextSwitch(std::int64_t utcSeconds) const;

    bool HasDaylightSaving() const { return m_hasDaylightSaving; }

    // Where in a year daylight saving begins or ends: the date, then the local time of day in
    // seconds (the time in force before the switch).
    struct SwitchDate {
        enum class Kind {
            JulianNoLeap, // Jn: day 1 to 365, 29 February never counted
            DayOfYear,    // n: day 0 to 365, 29 February counted
            MonthWeekDay, // Mm.w.d: weekday d (0 Sunday) of week w (5 the last) of month m
        };
        Kind kind = Kind::MonthWeekDay;
        int day = 0;
        int month = 0, week = 0, weekday = 0;
        std::int32_t timeOfDay = 2 * 3600;
    };

private:
    struct Switch {
        std::int64_t utcSeconds = 0;
        bool toDaylightSaving = false;
    };
    // The switches of the five years around an instant of the years 1970 to 2369, in order.
    std::array<Switch, 10> SwitchesAround(std::int64_t utcSeconds) const;

    ZoneOffset m_standard;
    ZoneOffset m_daylightSaving;
    bool m_hasDaylightSaving = false;
    SwitchDate m_start, m_end;
};

} // namespace kalvor_zones

#include "tools/common/zones/PosixRule.h"

#include <algorithm>
#include <chrono>
#include <limits>

namespace kalvor_zones {
namespace {

namespace chrono = std::chrono;

constexpr std::int64_t kSecondsPerDay = 86'400;
// 400 Gregorian years are a whole number of weeks: a rule's switches repeat with this period,
// so any instant is reckoned in the cycle that begins in 1970, where the calendar types hold.
constexpr std::int64_t kCycleSeconds = 146'097 * kSecondsPerDay;
constexpr int kLongestOffsetHours = 24;
constexpr int kLongestSwitchHours = 167;

class TextCursor {
public:
    explicit TextCursor(std::string_view text) : m_text(text) {}

    bool AtEnd() const { return m_at == m_text.size(); }
    std::size_t Position() const { return m_at; }
    char Peek() const { return AtEnd() ? '\0' : m_text[m_at]; }
    bool Skip(char wanted) {
        if (Peek() != wanted || AtEnd()) {
            return false;
        }
        ++m_at;
        return true;
    }
    // The characters from here on for which `accept` holds.
    template <typename Accept>
    std::string_view TakeWhile(Accept accept) {
        const std::size_t from = m_at;
        while (!AtEnd() && accept(m_text[m_at])) {
            ++m_at;
        }
        return m_text.substr(from, m_at - from);
    }
    // A decimal number of 1 to `maxDigits` digits.
    std::optional<int> Number(std::size_t maxDigits) {
        const std::string_view digits = TakeWhile([](char c) { return c >= '0' && c <= '9'; });
        if (digits.empty() || digits.size() > maxDigits) {
            return std::nullopt;
        }
        int value = 0;
        for (const char digit : digits) {
            value = value * 10 + (digit - '0');
        }
        return value;
    }

private:
    std::string_view m_text;
    std::size_t m_at = 0;
};

bool IsLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// A time zone name: three letters or more, or in angle brackets three or more letters, digits,
// '+' and '-' ("<+0545>").
std::optional<std::string> ReadName(TextCursor& cursor) {
    std::string_view name;
    if (cursor.Skip('<')) {
        name = cursor.TakeWhile(
            [](char c) { return IsLetter(c) || (c >= '0' && c <= '9') || c == '+' || c == '-'; });
        if (!cursor.Skip('>')) {
            return std::nullopt;
        }
    } else {
        name = cursor.TakeWhile(IsLetter);
    }
    if (name.size() < 3) {
        return std::nullopt;
    }
    return std::string(name);
}

// [+|-]hh[:mm[:ss]] with the hours at most `maxHours`, in seconds.
std::optional<std::int32_t> ReadClock(TextCursor& cursor, int maxHours) {
    int sign = 1;
    if (cursor.Skip('-')) {
        sign = -1;
    } else {
        cursor.Skip('+');
    }
    const auto hours = cursor.Number(maxHours > 99 ? 3 : 2);
    if (!hours || *hours > maxHours) {
        return std::nullopt;
    }
    int minutes = 0, seconds = 0;
    for (int* part : {&minutes, &seconds}) {
        if (!cursor.Skip(':')) {
            break;
        }
        const auto value = cursor.Number(2);
        if (!value || *value > 59) {
            return std::nullopt;
        }
        *part = *value;
    }
    return sign * (*hours * 3600 + minutes * 60 + seconds);
}

std::optional<PosixRule::SwitchDate> ReadSwitchDate(TextCursor& cursor) {
    using Kind = PosixRule::SwitchDate::Kind;
    PosixRule::SwitchDate date;
    if (cursor.Skip('J')) {
        const auto day = cursor.Number(3);
        if (!day || *day < 1 || *day > 365) {
            return std::nullopt;
        }
        date.kind = Kind::JulianNoLeap;
        date.day = *day;
    } else if (cursor.Skip('M')) {
        // -1 for a field that is missing: out of every range.
        date.kind = Kind::MonthWeekDay;
        date.month = cursor.Number(2).value_or(-1);
        date.week = cursor.Skip('.') ? cursor.Number(1).value_or(-1) : -1;
        date.weekday = cursor.Skip('.') ? cursor.Number(1).value_or(-1) : -1;
        if (date.month < 1 || date.month > 12 || date.week < 1 || date.week > 5 ||
            date.weekday < 0 || date.weekday > 6) {
            return std::nullopt;
        }
    } else {
        const auto day = cursor.Number(3);
        if (!day || *day > 365) {
            return std::nullopt;
        }
        date.kind = Kind::DayOfYear;
        date.day = *day;
    }
    if (cursor.Skip('/')) {
        const auto time = ReadClock(cursor, kLongestSwitchHours);
        if (!time) {
            return std::nullopt;
        }
        date.timeOfDay = *time;
    }
    return date;
}

chrono::sys_days DayIn(chrono::year year, const PosixRule::SwitchDate& date) {
    using Kind = PosixRule::SwitchDate::Kind;
    const chrono::sys_days newYear{year / chrono::January / 1};
    switch (date.kind) {
    case Kind::JulianNoLeap: {
        // Day 60 is 1 March in every year: a leap year's 29 February is stepped over.
        const int leapDay = year.is_leap() && date.day >= 60 ? 1 : 0;
        return newYear + chrono::days{date.day - 1 + leapDay};
    }
    case Kind::DayOfYear:
        return newYear + chrono::days{date.day};
    case Kind::MonthWeekDay:
        break;
    }
    const chrono::month month{static_cast<unsigned>(date.month)};
    const chrono::weekday weekday{static_cast<unsigned>(date.weekday)};
    if (date.week == 5) {
        return chrono::sys_days{year / month / weekday[chrono::last]};
    }
    return chrono::sys_days{year / month / weekday[static_cast<unsigned>(date.week)]};
}

// `from` plus a small positive `step`, held at the largest instant instead of overflowing.
std::int64_t SaturatingAdd(std::int64_t from, std::int64_t step) {
    return from > std::numeric_limits<std::int64_t>::max() - step
               ? std::numeric_limits<std::int64_t>::max()
               : from + step;
}

std::int64_t InCycle(std::int64_t utcSeconds) {
    return (utcSeconds % kCycleSeconds + kCycleSeconds) % kCycleSeconds;
}

} // namespace

std::optional<PosixRule> PosixRule::Parse(std::string_view text, std::string& error) {
    TextCursor cursor(text);
    PosixRule rule;
    // What went wrong where, for the error.
    const auto fail = [&](const char* what) {
        error = std::string(what) + " at character " + std::to_string(cursor.Position() + 1) +
                " of \"" + std::string(text) + "\"";
        return std::nullopt;
    };

    auto standardName = ReadName(cursor);
    if (!standardName) {
        return fail("no standard time name");
    }
    // POSIX offsets count hours west of Greenwich; a zone's offset counts them east.
    const auto standardOffset = ReadClock(cursor, kLongestOffsetHours);
    if (!standardOffset) {
        return fail("no standard time offset");
    }
    rule.m_standard = {-*standardOffset, false, std::move(*standardName)};
    if (cursor.AtEnd()) {
        return rule;
    }

    auto daylightName = ReadName(cursor);
    if (!daylightName) {
        return fail("no daylight saving time name");
    }
    std::int32_t daylightOffset = rule.m_standard.utcOffsetSeconds + 3600;
    if (!cursor.AtEnd() && cursor.Peek() != ',') {
        const auto offset = ReadClock(cursor, kLongestOffsetHours);
        if (!offset) {
            return fail("no daylight saving time offset");
        }
        daylightOffset = -*offset;
    }
    rule.m_daylightSaving = {daylightOffset, true, std::move(*daylightName)};
    rule.m_hasDaylightSaving = true;

    // A rule that names daylight saving time also says when it begins and ends: the files
    // give no default for it.
    std::optional<SwitchDate> start, end;
    if (!cursor.Skip(',') || !(start = ReadSwitchDate(cursor))) {
        return fail("no date on which daylight saving time begins");
    }
    if (!cursor.Skip(',') || !(end = ReadSwitchDate(cursor))) {
        return fail("no date on which daylight saving time ends");
    }
    if (!cursor.AtEnd()) {
        return fail("more text after the rule");
    }
    rule.m_start = *start;
    rule.m_end = *end;
    return rule;
}

std::array<PosixRule::Switch, 10> PosixRule::SwitchesAround(std::int64_t utcSeconds) const {
    const chrono::sys_days day{
        chrono::floor<chrono::days>(chrono::sys_seconds{chrono::seconds{utcSeconds}})};
    const chrono::year year = chrono::year_month_day{day}.year();
    // A switch time of up to 167 hours from its date can move it a week into the next or the
    // previous year: two years on each side hold every switch that can be nearest.
    std::array<Switch, 10> switches;
    std::size_t count = 0;
    for (int shift = -2; shift <= 2; ++shift) {
        const chrono::year each = year + chrono::years{shift};
        const auto at = [&](const SwitchDate& date, std::int32_t offsetBefore) {
            return DayIn(each, date).time_since_epoch().count() * kSecondsPerDay + date.timeOfDay -
                   offsetBefore;
        };
        switches[count++] = {at(m_start, m_standard.utcOffsetSeconds), true};
        switches[count++] = {at(m_end, m_daylightSaving.utcOffsetSeconds), false};
    }
    // When daylight saving ends at the very instant it begins again (all year), it goes on.
    std::sort(switches.begin(), switches.end(), [](const Switch& a, const Switch& b) {
        return a.utcSeconds != b.utcSeconds ? a.utcSeconds < b.utcSeconds
                                            : a.toDaylightSaving < b.toDaylightSaving;
    });
    return switches;
}

const ZoneOffset& PosixRule::At(std::int64_t utcSeconds) const {
    if (!m_hasDaylightSaving) {
        return m_standard;
    }
    const std::int64_t inCycle = InCycle(utcSeconds);
    bool daylightSaving = false;
    for (const Switch& each : SwitchesAround(inCycle)) {
        if (each.utcSeconds > inCycle) {
            break;
        }
        daylightSaving = each.toDaylightSaving;
    }
    return daylightSaving ? m_daylightSaving : m_standard;
}

std::optional<std::int64_t> PosixRule::NextSwitch(std::int64_t utcSeconds) const {
    if (!m_hasDaylightSaving) {
        return std::nullopt;
    }
    const std::int64_t inCycle = InCycle(utcSeconds);
    for (const Switch& each : SwitchesAround(inCycle)) {
        if (each.utcSeconds > inCycle) {
            return SaturatingAdd(utcSeconds, each.utcSeconds - inCycle);
        }
    }
    return std::nullopt;
}

} // namespace kalvor_zones

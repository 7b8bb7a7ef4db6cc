#include "InstantText.h"

#include <cstdio>

namespace kalvor_tools {

std::string FormatInstant(const LocalInstant& instant, char separator) {
    const LocalInstant& t = instant;
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d%c%02d:%02d:%02d.%03d",
                  static_cast<int>(t.m_year), static_cast<int>(t.m_month),
                  static_cast<int>(t.m_day), separator, static_cast<int>(t.m_hour),
                  static_cast<int>(t.m_minute), static_cast<int>(t.m_second),
                  static_cast<int>(instant.m_milliseconds));
    return text;
}

std::string FormatSecond(const LocalInstant& instant) {
    return FormatInstant(instant).substr(0, 19);
}

const char* WeekdayName(int weekday) {
    static const char* const kNames[7] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                          "Thursday", "Friday", "Saturday"};
    return weekday >= 0 && weekday < 7 ? kNames[weekday] : "?";
}

std::optional<LocalInstant> ParseInstant(const std::string& text) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    char separator = 0;
    int consumed = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d%c%2d:%2d:%2d%n", &year, &month, &day, &separator,
                    &hour, &minute, &second, &consumed) != 7 ||
        static_cast<std::size_t>(consumed) != text.size() || text.size() != 19 ||
        (separator != ' ' && separator != 'T')) {
        return std::nullopt;
    }
    if (year < 2000 || year > 2099 || month < 1 || month > 12 || day < 1 ||
        day > DaysInMonth(year, month) || hour > 23 || minute > 59 || second > 59 || hour < 0 ||
        minute < 0 || second < 0) {
        return std::nullopt;
    }
    return LocalInstant{year, month, day, WeekdayOf(year, month, day), hour, minute, second, 0};
}

std::string FrameHex(const TimeFrame& frame) {
    char text[16];
    std::snprintf(text, sizeof text, "%02X %02X %02X %02X", frame[0], frame[1], frame[2], frame[3]);
    return text;
}

} // namespace kalvor_tools

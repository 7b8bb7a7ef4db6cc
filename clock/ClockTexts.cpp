#include "clock/ClockTexts.h"

#include <cstdio>

std::string DateText(const LocalInstant& time) {
    char text[48];
    std::snprintf(text, sizeof text, "%4d-%02d-%02d", static_cast<int>(time.m_year),
                  static_cast<int>(time.m_month), static_cast<int>(time.m_day));
    return text;
}

std::string TimeText(const LocalInstant& time) {
    char text[48];
    std::snprintf(text, sizeof text, "%2d:%02d:%02d", static_cast<int>(time.m_hour),
                  static_cast<int>(time.m_minute), static_cast<int>(time.m_second));
    return text;
}

const std::string& WeekdayText(const LocalInstant& time, const SettingsTexts& texts) {
    // Indexed by the platform's weekday number, Sunday 0.
    static const std::string kNone;
    const std::string* const names[] = {
        &texts.m_textSunday,   &texts.m_textMonday, &texts.m_textTuesday, &texts.m_textWednesday,
        &texts.m_textThursday, &texts.m_textFriday, &texts.m_textSaturday};
    return time.m_weekday >= 0 && time.m_weekday <= 6 ? *names[time.m_weekday] : kNone;
}

bool IsMidnight(const LocalInstant& time) {
    return time.m_hour == 0 && time.m_minute == 0 && time.m_second == 0;
}

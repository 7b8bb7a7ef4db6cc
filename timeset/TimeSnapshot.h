#pragma once

#include <cstdint>

// One reading of the local clock, as the clock display keeps it and the time-set frames send it.
// All zero until the first reading.
struct TimeSnapshot {
    std::int32_t m_year = 0;    // full year, such as 2016
    std::int32_t m_month = 0;   // 1 to 12
    std::int32_t m_day = 0;     // 1 to 31
    std::int32_t m_weekday = 0; // 0 Sunday, 1 Monday ... 6 Saturday
    std::int32_t m_hour = 0;    // 0 to 23
    std::int32_t m_minute = 0;  // 0 to 59
    std::int32_t m_second = 0;  // 0 to 59

    friend bool operator==(const TimeSnapshot&, const TimeSnapshot&) = default;
};

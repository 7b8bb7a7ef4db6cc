#pragma once

namespace platform {

// One reading of the computer's local clock, as the platform gives it; its fields stand in the
// order of the time snapshot's (timeset/TimeSnapshot.h).
struct LocalTime {
    int year = 0;         // full year, such as 2016
    int month = 0;        // 1 to 12
    int day = 0;          // 1 to 31
    int dayOfWeek = 0;    // 0 Sunday, 1 Monday ... 6 Saturday
    int hour = 0;         // 0 to 23
    int minute = 0;       // 0 to 59
    int second = 0;       // 0 to 59
    int milliseconds = 0; // 0 to 999
};

LocalTime ReadLocalTime();

} // namespace platform

#pragma once

#include "platform/LocalInstant.h"
#include "timeset/TimeFrame.h"

#include <optional>
#include <string>

namespace kalvor_tools {

// Local instants and frames as people read and write them.

// "2016-04-12 09:05:30.412" with `separator` ' ', or "2016-04-12T09:05:30.412" with 'T' as in
// JSON.
std::string FormatInstant(const LocalInstant& instant, char separator = ' ');

// "2016-04-12 09:05:30": the instant to the second.
std::string FormatSecond(const LocalInstant& instant);

// "Tuesday" (0 Sunday); "?" outside 0 to 6.
const char* WeekdayName(int weekday);

// "YYYY-MM-DD HH:MM:SS" (a 'T' may stand for the blank), a real date and time of the years 2000
// to 2099, which the device can hold; nothing otherwise. The weekday is the date's own.
std::optional<LocalInstant> ParseInstant(const std::string& text);

// "F6 01 16 F2".
std::string FrameHex(const TimeFrame& frame);

} // namespace kalvor_tools

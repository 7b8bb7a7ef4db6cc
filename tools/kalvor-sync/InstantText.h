#pragma once

#include "timeset/LocalInstant.h"
#include "timeset/TimeFrame.h"

#include <optional>
#include <string>

// Local instants and frames as people read and write them.

// "2016-04-12 09:05:30.000".
std::string FormatInstant(const LocalInstant& instant);

// "Tuesday" (0 Sunday).
const char* WeekdayName(int weekday);

// "YYYY-MM-DD HH:MM:SS" (a 'T' may stand for the blank), a real date and time of the years 2000
// to 2099, which the device can hold; nothing otherwise. The weekday is the date's own.
std::optional<LocalInstant> ParseInstant(const std::string& text);

// "F6 01 16 F2".
std::string FrameHex(const TimeFrame& frame);

// "year", "month", ... "second", for the frame of step 0 to 6.
const char* FieldName(int stepIndex);

#pragma once

#include "platform/LocalInstant.h"
#include "settings/SettingsTexts.h"

#include <string>

// The clock display's three labels, built afresh from one reading of the local clock.

// "2016-04-12".
std::string DateText(const LocalInstant& time);

// "23:59:07"; hours below 10 get a leading blank, not a zero: " 9:05:30".
std::string TimeText(const LocalInstant& time);

// The settings file's name of the reading's weekday (Sunday 0); empty for a number outside 0..6.
const std::string& WeekdayText(const LocalInstant& time, const SettingsTexts& texts);

// 00:00:00: a time tick that reads it refreshes the date and weekday too.
bool IsMidnight(const LocalInstant& time);

#pragma once

#include "SimulatedDevice.h"

#include <string>

namespace kalvor_sim {

// The simulator's two ways of telling what it received: a line for people, and a line of JSON
// for tests and benchmarks. Each report is one line, without its line end.
//
// JSON lines, one object per report; times are local, "YYYY-MM-DDTHH:MM:SS.mmm":
//   frames and noise
//     "type"        "frame", or "noise" for bytes outside any frame
//     "arrival"     when the last byte arrived
//     "bytes"       the bytes received, in hex: "F6 07 30 D2"
//     "field"       the field number 1 to 7, when the second byte is one
//     "name"        the field's name ("year" ... "second"), with "field"
//     "value"       the field's value in decimal (the year's two digits), when accepted
//     "status"      "ok" or "rejected"
//     "reason"      when rejected: "noise", "truncated", "field_number", "check_byte", "not_bcd",
//                   "out_of_range" or "day_not_in_month"
//     "detail"      when rejected: the reason in words
//   the end of a sequence
//     "type"        "sequence"
//     "arrival"     of the frame or event that ended it
//     "complete"    true or false
//     "frames"      frames accepted in order from the year
//     when complete:
//     "device"      the device clock at the seconds frame's arrival
//     "weekday"     the device's weekday, 0 Sunday
//     "weekday_matches_date"  true or false
//     "computer"    the computer's local time then (the seconds frame's arrival)
//     "error_ms"    device minus computer, in milliseconds
//     when incomplete:
//     "detail"      why, in words
std::string HumanLine(const DeviceReport& report);
std::string JsonLine(const DeviceReport& report);

} // namespace kalvor_sim

#pragma once

#include "Rfc2217Server.h"
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
//
// A simulator of network devices names the device of each report: "address" (its URL, as
// "tcp://127.0.0.1:40123") right after "type", and the address before each line for people.
// It also tells what happens on each device's connections:
//     "type"        "listening", "connected", "disconnected", or "line" (an RFC 2217 client set
//                   the line)
//     "address"     the device's URL
//     "arrival"     when it happened (not with "listening")
//     "detail"      "connected": the client's address; "disconnected": why
//     "baud", "data_bits", "settings"   "line": the speed, the data bits, and all in words
std::string HumanLine(const DeviceReport& report, const std::string& device = {});
std::string JsonLine(const DeviceReport& report, const std::string& device = {});

// What happens on a network device's connections.
struct NetworkEvent {
    enum class Kind { Listening, Connected, Disconnected, LineSet };
    Kind kind = Kind::Listening;
    std::string device;          // the device's address
    LocalInstant at;             // when it happened (not for Listening)
    std::string detail;          // Connected: the client's address; Disconnected: why
    RemoteLineSettings settings; // LineSet
};
std::string HumanLine(const NetworkEvent& event);
std::string JsonLine(const NetworkEvent& event);

// How precisely a simulator of network devices stamped its lines, told when it ends: the passes
// that read bytes, and the longest of them (from the wait's return to the last line read), which
// bounds how late a line is stamped. JSON: "type" ("stamping"), "passes", "longest_pass_us",
// "lines_in_longest_pass".
struct StampingFigures {
    std::int64_t passes = 0;
    std::int64_t longestPassMicroseconds = 0;
    int linesInLongestPass = 0;
};
std::string StampingLine(const StampingFigures& figures, bool json);

} // namespace kalvor_sim

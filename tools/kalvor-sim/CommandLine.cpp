#include "CommandLine.h"

#include "tools/common/ArgumentParsing.h"
#include "tools/common/PortArgument.h"

#include <charconv>

namespace kalvor_sim {

namespace {

bool ParseCount(const std::string& text, int lowest, int highest, int& value) {
    const char* end = text.data() + text.size();
    const auto [stop, failure] = std::from_chars(text.data(), end, value);
    return failure == std::errc() && stop == end && value >= lowest && value <= highest;
}

} // namespace

const char* UsageText() {
    return R"(usage: kalvor-sim [--json] [--sequences N] [--silence-ms MS] [--line-time] --port N|DEVICE
       kalvor-sim [--json] [--sequences N] [--silence-ms MS] --replay FILE
       kalvor-sim [--json] [--sequences N] [--silence-ms MS] --hex FILE|-
       kalvor-sim --help | --version

A simulated clock device: it takes the bytes that set a device's clock, checks every frame
(start byte 0xF6, field number 1 to 7, check byte, value range), sets its own clock from the
frames it accepts, and tells, after each complete sequence of seven frames (year to second), the
device clock and its error against the computer's local clock. Arrival times are the computer's
local time when the bytes were read.

On a serial port it is the device itself: it reads the line at 9600 baud, 8 data bits, no
parity, 1 stop bit, and runs until it is stopped (Ctrl-C) or N sequences came.

Input:
  --replay FILE     replay captured bytes from FILE, as they are
  --hex FILE|-      replay bytes written as hex text ("F6 01 16 F2"), one chunk per line,
                    '#' starts a comment; "-" reads standard input
  --port N|DEVICE   serial port N (COM<N> on Windows, /dev/ttyS<N-1> on Linux), or a device
                    path such as /dev/ttyUSB0 or a pseudo-terminal

Options:
  --json            one JSON object per line instead of text (keys below)
  --sequences N     stop after N complete sequences
  --silence-ms MS   a frame whose next byte comes more than MS ms later is truncated
                    (default 100; a frame takes 4.2 ms at 9600 baud, frames come 200 ms apart)
  --line-time       stamp each byte with the time a 9600-baud line would deliver it (1.04 ms
                    after the line was free) instead of the time it was read: a
                    pseudo-terminal delivers a whole frame at once, 4.17 ms before a real line
  --help            this text
  --version         the version

Output, one line per frame (arrival, bytes, field, value, "ok" or why it was rejected), per run
of noise, and per end of a sequence. With --json, one object per line; times are local time as
"YYYY-MM-DDTHH:MM:SS.mmm":
  frames, noise: "type" ("frame" or "noise"), "arrival" (of the last byte), "bytes" (hex),
    "field" and "name" (when the second byte is a field number), "value" (decimal, when
    accepted; the year's two digits), "status" ("ok" or "rejected"), "reason" ("noise",
    "truncated", "field_number", "check_byte", "not_bcd", "out_of_range", "day_not_in_month")
    and "detail" (in words) when rejected
  sequences: "type" ("sequence"), "arrival", "complete" (true or false), "frames" (accepted in
    order); when complete "device" (the device clock at the seconds frame's arrival),
    "weekday" (0 Sunday), "weekday_matches_date", "computer" (the local time then) and
    "error_ms" (device minus computer); when incomplete "detail"

Exit status: 0 the input ended or N sequences came, 1 the input or port could not be read,
2 usage.
)";
}

CommandLine ParseCommandLine(int argc, const char* const argv[]) {
    CommandLine command;
    auto fail = [&command](const std::string& error) {
        command.m_action = CommandLine::Action::UsageError;
        command.m_error = error;
        return command;
    };

    kalvor_tools::CommonFlags common;
    std::vector<std::string> ports;
    std::optional<std::string> sequences, silence;
    CLI::App app("kalvor-sim");
    kalvor_tools::AddCommonFlags(app, common);
    kalvor_tools::AddPortOption(app, ports);
    app.add_flag("--json", command.m_options.json);
    app.add_flag("--line-time", command.m_options.lineTime);
    app.add_option("--replay", command.m_replayPath);
    app.add_option("--hex", command.m_hexPath);
    app.add_option("--sequences", sequences);
    app.add_option("--silence-ms", silence);
    if (const auto error = kalvor_tools::ParseArguments(app, argc, argv)) {
        return fail(*error);
    }
    if (common.help) {
        command.m_action = CommandLine::Action::Help;
        return command;
    }
    if (common.version) {
        command.m_action = CommandLine::Action::Version;
        return command;
    }
    if (sequences && !ParseCount(*sequences, 1, 1'000'000, command.m_options.stopAfterSequences)) {
        return fail("--sequences: \"" + *sequences + "\" is not a count from 1");
    }
    if (silence && !ParseCount(*silence, 1, 60'000, command.m_options.silenceLimitMs)) {
        return fail("--silence-ms: \"" + *silence +
                    "\" is not a number of milliseconds from 1 to 60000");
    }
    if (ports.size() > 1) {
        return fail("--port: the simulator is one device, on one port");
    }
    if (!ports.empty()) {
        command.m_port = kalvor_tools::ParsePortArgument(ports.front());
        if (!command.m_port) {
            return fail(kalvor_tools::PortArgumentError(ports.front()));
        }
    }
    const int inputs =
        !command.m_replayPath.empty() + !command.m_hexPath.empty() + command.m_port.has_value();
    if (inputs != 1) {
        return fail("give one input: --port N|DEVICE, --replay FILE or --hex FILE");
    }
    return command;
}

} // namespace kalvor_sim

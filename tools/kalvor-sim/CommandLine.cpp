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
    return R"(usage: kalvor-sim [--json] [--sequences N] [--silence-ms MS] [--line-time] [--zone AREA/CITY]
                  --port N|DEVICE
       kalvor-sim [--json] [--sequences N] [--silence-ms MS] [--line-time] [--devices N]
                  --port tcp://ADDRESS:PORT|rfc2217://ADDRESS:PORT [--port URL]...
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

On the network it is an Ethernet clock, or a serial device server's port with a clock behind it:
it listens on ADDRESS:PORT (an IPv4 address, or an IPv6 address in brackets; without an
address, on 127.0.0.1, this computer alone) and takes one connection at a time, whose bytes are
its line. tcp:// takes them as they are; rfc2217:// is an RFC 2217 server, which answers the
client's Telnet negotiation and sets its line as the client asks (and tells it). PORT 0 takes a
free port, which the first lines tell. One simulator may be many devices: each --port is one, or
N with --devices N, on the ports from PORT on (on N free ports for 0). Every report then names
its device.

Input:
  --replay FILE     replay captured bytes from FILE, as they are
  --hex FILE|-      replay bytes written as hex text ("F6 01 16 F2"), one chunk per line,
                    '#' starts a comment; "-" reads standard input
  --port N|DEVICE   serial port N (COM<N> on Windows, /dev/ttyS<N-1> on Linux), or a device
                    path such as /dev/ttyUSB0 or a pseudo-terminal
  --port URL        a device on the network: tcp://ADDRESS:PORT or rfc2217://ADDRESS:PORT; may
                    be given again for further devices

Options:
  --json            one JSON object per line instead of text (keys below)
  --sequences N     stop after N complete sequences (of every device, with several)
  --devices N       with network devices: N devices per --port (1 to 10000)
  --silence-ms MS   a frame whose next byte comes more than MS ms later is truncated
                    (default 100; a frame takes 4.2 ms at 9600 baud, frames come 200 ms apart)
  --zone AREA/CITY  the device shows the civil time of that IANA zone (a wall of world clocks):
                    its error is told against that zone's time, from the computer's clock
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

Network devices add these reports: "listening" (with "address", the device's URL), and, with
"address" and "arrival": "connected" and "disconnected" (with "detail": the client's address,
or why), and "line" when an RFC 2217 client set the line ("baud", "data_bits", "settings" in
words). Every other report of a network device has "address" right after "type". At its end
it tells how precisely it stamped the lines it read at once: "stamping", with "passes" (that
read bytes), "longest_pass_us" and "lines_in_longest_pass" (a byte that arrives during a pass is
stamped by the next).

Exit status: 0 the input ended, N sequences came or it was stopped on the network, 1 the input
or port could not be read (or a network device could not listen), 2 usage.
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
    std::optional<std::string> sequences, silence, devices;
    CLI::App app("kalvor-sim");
    kalvor_tools::AddCommonFlags(app, common);
    kalvor_tools::AddPortOption(app, ports);
    app.add_flag("--json", command.m_options.json);
    app.add_flag("--line-time", command.m_options.lineTime);
    app.add_option("--replay", command.m_replayPath);
    app.add_option("--hex", command.m_hexPath);
    app.add_option("--sequences", sequences);
    app.add_option("--silence-ms", silence);
    app.add_option("--devices", devices);
    app.add_option("--zone", command.m_zone);
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
    int copies = 1;
    if (devices && !ParseCount(*devices, 1, 10'000, copies)) {
        return fail("--devices: \"" + *devices + "\" is not a count from 1 to 10000");
    }
    for (const std::string& text : ports) {
        kalvor_tools::DeviceArgument argument =
            kalvor_tools::ParseDeviceArgument(text, kalvor_tools::NetworkUse::Listen);
        if (!argument.device) {
            return fail("--port: " + argument.problem);
        }
        if (const auto* port = std::get_if<platform::PortName>(&*argument.device)) {
            if (command.m_port || ports.size() > 1) {
                return fail("--port: a simulator on a serial port is one device, on one port");
            }
            command.m_port = *port;
            continue;
        }
        const auto& device = std::get<kalvor_tools::NetworkDevice>(*argument.device);
        if (device.port != 0 && device.port + copies - 1 > 65535) {
            return fail("--devices: " + std::to_string(copies) + " ports from " +
                        std::to_string(device.port) + " go past 65535");
        }
        for (int copy = 0; copy < copies; ++copy) {
            kalvor_tools::NetworkDevice each = device;
            each.port = static_cast<std::uint16_t>(device.port == 0 ? 0 : device.port + copy);
            command.m_listen.push_back(each);
        }
    }
    if (devices && command.m_listen.empty()) {
        return fail("--devices goes with network devices (--port tcp://... or rfc2217://...)");
    }
    const int inputs = !command.m_replayPath.empty() + !command.m_hexPath.empty() +
                       (command.m_port.has_value() || !command.m_listen.empty());
    if (inputs != 1) {
        return fail("give one input: --port N|DEVICE|URL, --replay FILE or --hex FILE");
    }
    return command;
}

} // namespace kalvor_sim

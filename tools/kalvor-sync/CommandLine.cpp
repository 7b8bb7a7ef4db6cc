#include "CommandLine.h"

#include "InstantText.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>

namespace {

// A device path is opened on the number no COM port uses, so that it stands for nothing else.
constexpr int kDevicePathPort = 256;

constexpr std::int64_t kLongestOffsetMs = 60'000;
constexpr std::int64_t kShortestPeriod = 1'000'000;
constexpr std::int64_t kLongestPeriod = std::int64_t{366} * 86'400 * 1'000'000;

bool ParseWhole(const std::string& text, std::int64_t& value) {
    const char* end = text.data() + text.size();
    const auto [stop, failure] = std::from_chars(text.data(), end, value);
    return failure == std::errc() && stop == end;
}

// "--port 3", "--port COM3" or "--port \\.\COM3" name port 3; anything else is a device path.
bool ParsePort(const std::string& text, SyncCommand& command) {
    std::string number = text;
    bool named = false;
    for (const char* prefix : {"\\\\.\\COM", "\\\\.\\com", "COM", "com"}) {
        if (number.rfind(prefix, 0) == 0) {
            number.erase(0, std::strlen(prefix));
            named = true;
            break;
        }
    }
    std::int64_t value = 0;
    if (ParseWhole(number, value) && value >= 1 && value <= 255) {
        command.m_portNumber = static_cast<int>(value);
        return true;
    }
    if (named || text.empty() || std::isdigit(static_cast<unsigned char>(text[0])) ||
        text[0] == '-') {
        return false;
    }
    command.m_portNumber = kDevicePathPort;
    command.m_portDevice = text;
    return true;
}

// Milliseconds, with up to three decimals: "12", "-3.5".
bool ParseOffset(const std::string& text, std::int64_t& microseconds) {
    double milliseconds = 0;
    const char* end = text.data() + text.size();
    const auto [stop, failure] = std::from_chars(text.data(), end, milliseconds);
    if (failure != std::errc() || stop != end || !std::isfinite(milliseconds) ||
        std::fabs(milliseconds) > kLongestOffsetMs) {
        return false;
    }
    microseconds = std::llround(milliseconds * 1000);
    return true;
}

// A whole number and a unit: "90s", "10m", "24h", "7d".
bool ParseDuration(const std::string& text, std::int64_t& microseconds) {
    if (text.size() < 2) {
        return false;
    }
    std::int64_t unit = 0;
    switch (text.back()) {
    case 's':
        unit = 1'000'000;
        break;
    case 'm':
        unit = 60'000'000;
        break;
    case 'h':
        unit = 3'600'000'000;
        break;
    case 'd':
        unit = 86'400'000'000;
        break;
    default:
        return false;
    }
    std::int64_t count = 0;
    if (!ParseWhole(text.substr(0, text.size() - 1), count) || count < 1 ||
        count > kLongestPeriod / unit) {
        return false;
    }
    microseconds = count * unit;
    return microseconds >= kShortestPeriod;
}

} // namespace

const char* SyncUsageText() {
    return R"(usage: kalvor-sync --port N|DEVICE [--no-align] [--offset MS] [--every DURATION]
                   [--verbose | --quiet]
       kalvor-sync --dry-run [--at "YYYY-MM-DD HH:MM:SS"] [--no-align] [--offset MS] [--verbose]
       kalvor-sync --help | --version

Sets a clock device's date and time to the computer's local time over a serial line (9600 baud,
8 data bits, no parity, 1 stop bit): seven frames of four bytes, year, month, day, weekday, hour,
minute and second, 200 ms apart, all of them from one instant.

By default the sequence is aligned: it waits until the seconds frame's last byte will reach the
device at the top of a second (allowing 4.17 ms for its 4 bytes on the line) and carries that
second, so the device's clock starts its second with the computer's.

Options:
  --port N|DEVICE   serial port N (COM<N> on Windows, /dev/ttyS<N-1> on Linux), "COM<N>", or a
                    device path such as /dev/ttyUSB0
  --no-align        send at once; the device then runs up to a second behind
  --offset MS       the device takes the time MS milliseconds after the seconds frame's last byte
                    reaches it (negative: before); the frames go that much earlier (later).
                    Up to 3 decimals, within +-60000
  --every DURATION  repeat, every DURATION: a whole number with s, m, h or d (90s, 10m, 24h),
                    at least 1s, until Ctrl-C; a port that cannot be opened or fails is reported
                    on stderr and opened again at the next run
  --dry-run         print the seven frames, in hex, one per line, without a port: for the
                    sequence it would send now, or with --at for that local date and time
  --at TIME         with --dry-run: the local time the device is set to, "YYYY-MM-DD HH:MM:SS"
  --verbose         log each frame with its local time (ms) and its bytes
  --quiet           print nothing but errors
  --help            this text
  --version         the version

Output: a line per sequence sent ("set to ..."), on standard output; errors, with the port and
the system's reason, on standard error.

Exit status:
  0    the sequence was sent (with --every: stopped with Ctrl-C between sequences)
  1    the port could not be opened or set up
  2    usage: an option is missing or wrong
  3    the port opened, but a frame could not be written
  130  stopped with Ctrl-C (SIGINT or SIGTERM) before the sequence was complete
)";
}

SyncCommand ParseSyncCommand(int argc, const char* const argv[]) {
    SyncCommand command;
    auto fail = [&command](const std::string& error) {
        command.m_action = SyncCommand::Action::UsageError;
        command.m_error = error;
        return command;
    };

    bool dryRun = false;
    bool quiet = false;
    bool verbose = false;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        const bool takesValue =
            option == "--port" || option == "--offset" || option == "--every" || option == "--at";
        if (takesValue && i + 1 >= argc) {
            return fail(option + " needs a value");
        }
        const std::string value = takesValue ? argv[i + 1] : "";
        if (option == "--help" || option == "-h") {
            command.m_action = SyncCommand::Action::Help;
            return command;
        }
        if (option == "--version") {
            command.m_action = SyncCommand::Action::Version;
            return command;
        }
        if (option == "--port") {
            if (!ParsePort(value, command)) {
                return fail("--port: \"" + value +
                            "\" is neither a port number from 1 to 255 nor a device");
            }
        } else if (option == "--offset") {
            if (!ParseOffset(value, command.m_latencyMicroseconds)) {
                return fail("--offset: \"" + value +
                            "\" is not a number of milliseconds from -60000 to 60000");
            }
        } else if (option == "--every") {
            if (!ParseDuration(value, command.m_everyMicroseconds)) {
                return fail("--every: \"" + value +
                            "\" is not a duration such as 90s, 10m, 24h or 7d (at least 1s)");
            }
        } else if (option == "--at") {
            command.m_at = ParseInstant(value);
            if (!command.m_at) {
                return fail("--at: \"" + value +
                            "\" is not a local time \"YYYY-MM-DD HH:MM:SS\" of 2000 to 2099");
            }
        } else if (option == "--no-align") {
            command.m_align = false;
        } else if (option == "--dry-run") {
            dryRun = true;
        } else if (option == "--quiet" || option == "-q") {
            quiet = true;
        } else if (option == "--verbose" || option == "-v") {
            verbose = true;
        } else if (option.empty() || option[0] != '-') {
            return fail("unexpected argument \"" + option + "\" (a port is given with --port)");
        } else {
            return fail("unknown option " + option);
        }
        if (takesValue) {
            ++i;
        }
    }

    if (quiet && verbose) {
        return fail("--quiet and --verbose exclude each other");
    }
    command.m_verbosity = quiet     ? SyncCommand::Verbosity::Quiet
                          : verbose ? SyncCommand::Verbosity::Verbose
                                    : SyncCommand::Verbosity::Normal;
    if (dryRun) {
        if (command.m_everyMicroseconds != 0) {
            return fail("--every does not go with --dry-run");
        }
        command.m_action = SyncCommand::Action::DryRun;
        return command;
    }
    if (command.m_at) {
        return fail("--at goes with --dry-run only (a sync sends the computer's time)");
    }
    if (command.m_portNumber == 0) {
        return fail("give a port: --port N|DEVICE (or --dry-run)");
    }
    return command;
}

#include "CommandLine.h"

#include "platform/ServiceControl.h"
#include "tools/common/ArgumentParsing.h"
#include "tools/common/InstantText.h"
#include "tools/common/PortArgument.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <tuple>

namespace kalvor_sync {

namespace {

constexpr std::int64_t kLongestOffsetMs = 60'000;
constexpr std::int64_t kShortestPeriod = 1'000'000;
constexpr std::int64_t kLongestPeriod = std::int64_t{366} * 86'400 * 1'000'000;

bool ParseWhole(const std::string& text, std::int64_t& value) {
    const char* end = text.data() + text.size();
    const auto [stop, failure] = std::from_chars(text.data(), end, value);
    return failure == std::errc() && stop == end;
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

// The options as written, before their values are read.
struct Words {
    kalvor_tools::CommonFlags common;
    std::vector<std::string> ports;
    std::optional<std::string> offset, every, at, statusFile, metricsFile;
    bool noAlign = false, dryRun = false, requireSynced = false, quiet = false, verbose = false;
    bool installService = false, uninstallService = false, runAsService = false;
};

// A path that names its folder whatever the folder a program starts in, as a service needs:
// "/run/x", "C:\x", "\\server\x".
bool IsFullPath(const std::string& path) {
    const bool drive = path.size() > 2 && std::isalpha(static_cast<unsigned char>(path[0])) &&
                       path[1] == ':' && (path[2] == '\\' || path[2] == '/');
    return drive || (!path.empty() && (path[0] == '/' || path[0] == '\\'));
}

// The command line a service runs with: this one without --install-service.
std::vector<std::string> ServiceArguments(int argc, const char* const argv[]) {
    std::vector<std::string> arguments{"--run-as-service"};
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) != "--install-service") {
            arguments.emplace_back(argv[i]);
        }
    }
    return arguments;
}

} // namespace

const char* SyncUsageText() {
    return R"(usage: kalvor-sync --port N|DEVICE [--port N|DEVICE]... [--no-align] [--offset MS]
                   [--every DURATION] [--require-synced] [--verbose | --quiet]
                   [--status-file PATH] [--metrics-file PATH]
       kalvor-sync --dry-run [--at "YYYY-MM-DD HH:MM:SS"] [--no-align] [--offset MS] [--verbose]
       kalvor-sync --install-service --port N|DEVICE... --every DURATION [options]  (Windows)
       kalvor-sync --uninstall-service                                              (Windows)
       kalvor-sync --help | --version

Sets a clock device's date and time to the computer's local time over a serial line (9600 baud,
8 data bits, no parity, 1 stop bit): seven frames of four bytes, year, month, day, weekday, hour,
minute and second, 200 ms apart, all of them from one instant.

By default the sequence is aligned: it waits until the seconds frame's last byte will reach the
device at the top of a second (allowing 4.17 ms for its 4 bytes on the line) and carries that
second, so the device's clock starts its second with the computer's. Several devices (--port
given more than once) all get the same sequence at the same instant.

Before each sequence it asks the system whether the computer's clock is kept to a time source
(Linux: the kernel's clock discipline; Windows: the Windows Time service). If it is not, or that
cannot be told, it warns once on standard error: the device takes whatever time the computer
has, right or wrong. --require-synced refuses to send instead.

Run by systemd as a Type=notify service, it tells systemd that it is ready once its first
sequence is over, a status line after each sequence, and keeps the watchdog (WatchdogSec=) fed.
On Windows it can run as a service of its own (--install-service), telling the Event Log of every
device set and every failure.

Options:
  --port N|DEVICE   serial port N (COM<N> on Windows, /dev/ttyS<N-1> on Linux), "COM<N>", or a
                    device path such as /dev/ttyUSB0; give it again for each further device
  --no-align        send at once; the device then runs up to a second behind
  --offset MS       the device takes the time MS milliseconds after the seconds frame's last byte
                    reaches it (negative: before); the frames go that much earlier (later).
                    Up to 3 decimals, within +-60000
  --every DURATION  repeat, every DURATION: a whole number with s, m, h or d (90s, 10m, 24h),
                    at least 1s, until Ctrl-C. Between runs the devices are set again, within
                    about 2 s, when the computer's clock steps by more than half a second (a
                    correction, a resume from sleep) or the local time's offset from UTC changes
                    (daylight saving begins or ends); each such run says why. A port that cannot
                    be opened or fails is told once on stderr, tried again every half second, and
                    its device set as soon as it is back
  --require-synced  send nothing unless the system says the computer's clock is synchronised:
                    exit with status 4 instead, or with --every wait until it is (told once)
  --status-file PATH
                    write how every device is to PATH, as one JSON document, at start, after
                    every sequence and at the end: the last attempt and success (local time with
                    its UTC offset, and UTC seconds), the outcome, the last error, why the last
                    sequence ran, the counts of successes and failures, and the computer's clock.
                    The file is replaced whole, never half-written. Without --every the history
                    and counts in the file it finds are carried on
  --metrics-file PATH
                    the same as metrics in the Prometheus text format, for a node exporter's
                    textfile collector (which reads files named *.prom)
  --dry-run         print the seven frames, in hex, one per line, without a port: for the
                    sequence it would send now, or with --at for that local date and time
  --at TIME         with --dry-run: the local time the device is set to, "YYYY-MM-DD HH:MM:SS"
  --verbose         log each frame with its local time (ms) and its bytes, and the state of the
                    computer's clock with its estimated error where the system knows it
  --quiet           print nothing but warnings and errors
  --install-service (Windows, as administrator) install the service "kalvor-sync" ("Kalvor clock
                    sync"), which runs kalvor-sync with the other options given (--every is
                    needed) as LocalService, starts with Windows, is restarted after a failure,
                    and writes its status to Kalvor\kalvor-sync\status.json in the common
                    application data folder unless --status-file names another place
  --uninstall-service
                    (Windows, as administrator) stop the service "kalvor-sync" and remove it
  --help            this text
  --version         the version

Output: a line per device set ("set COM3 to ..."), and one per extra run with its reason, on
standard output; warnings and errors, with the port and the system's reason, on standard error.
A status or metrics file that cannot be written is told once and does not stop the syncing.

Exit status (with several ports, the highest of theirs):
  0    the sequence was sent (with --every: stopped with Ctrl-C between sequences); the service
       was installed or removed
  1    a port could not be opened or set up
  2    usage: an option is missing or wrong
  3    a port opened, but a frame could not be written
  4    --require-synced, and the computer's clock is not synchronised (or that cannot be told)
  5    --install-service: the service is installed already
  6    --uninstall-service: no such service is installed
  7    --install-service, --uninstall-service: not allowed (run it as administrator)
  8    --install-service, --uninstall-service: the service manager failed otherwise
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

    Words words;
    CLI::App app("kalvor-sync");
    kalvor_tools::AddCommonFlags(app, words.common);
    kalvor_tools::AddPortOption(app, words.ports);
    app.add_option("--offset", words.offset);
    app.add_option("--every", words.every);
    app.add_option("--at", words.at);
    app.add_flag("--no-align", words.noAlign);
    app.add_flag("--dry-run", words.dryRun);
    app.add_flag("--require-synced", words.requireSynced);
    app.add_flag("--quiet,-q", words.quiet);
    app.add_flag("--verbose,-v", words.verbose);
    app.add_option("--status-file", words.statusFile);
    app.add_option("--metrics-file", words.metricsFile);
    app.add_flag("--install-service", words.installService);
    app.add_flag("--uninstall-service", words.uninstallService);
    app.add_flag("--run-as-service", words.runAsService);
    if (const auto error = kalvor_tools::ParseArguments(app, argc, argv)) {
        return fail(*error);
    }
    if (words.common.help) {
        command.m_action = SyncCommand::Action::Help;
        return command;
    }
    if (words.common.version) {
        command.m_action = SyncCommand::Action::Version;
        return command;
    }

    for (const std::string& text : words.ports) {
        const auto port = kalvor_tools::ParsePortArgument(text);
        if (!port) {
            return fail(kalvor_tools::PortArgumentError(text));
        }
        for (const platform::PortName& earlier : command.m_ports) {
            if (earlier.device == port->device) {
                return fail("--port: " + port->label + " is given twice");
            }
        }
        command.m_ports.push_back(*port);
    }
    if (words.offset && !ParseOffset(*words.offset, command.m_latencyMicroseconds)) {
        return fail("--offset: \"" + *words.offset +
                    "\" is not a number of milliseconds from -60000 to 60000");
    }
    if (words.every && !ParseDuration(*words.every, command.m_everyMicroseconds)) {
        return fail("--every: \"" + *words.every +
                    "\" is not a duration such as 90s, 10m, 24h or 7d (at least 1s)");
    }
    if (words.at) {
        command.m_at = kalvor_tools::ParseInstant(*words.at);
        if (!command.m_at) {
            return fail("--at: \"" + *words.at +
                        "\" is not a local time \"YYYY-MM-DD HH:MM:SS\" of 2000 to 2099");
        }
    }
    command.m_align = !words.noAlign;
    command.m_requireSynced = words.requireSynced;
    for (const auto& [file, option, path] :
         {std::tuple{&words.statusFile, "--status-file", &command.m_statusFile},
          std::tuple{&words.metricsFile, "--metrics-file", &command.m_metricsFile}}) {
        if (*file && (*file)->empty()) {
            return fail(std::string(option) + " needs a path");
        }
        *path = file->value_or(std::string());
    }

    if (words.quiet && words.verbose) {
        return fail("--quiet and --verbose exclude each other");
    }
    command.m_verbosity = words.quiet     ? SyncCommand::Verbosity::Quiet
                          : words.verbose ? SyncCommand::Verbosity::Verbose
                                          : SyncCommand::Verbosity::Normal;
    if (words.installService || words.uninstallService || words.runAsService) {
        const char* option = words.installService     ? "--install-service"
                             : words.uninstallService ? "--uninstall-service"
                                                      : "--run-as-service";
        if (!platform::ServicesAvailable()) {
            return fail(std::string(option) +
                        " is for Windows; on Linux the package's systemd units run kalvor-sync "
                        "as a service (kalvor-sync-follow@.service)");
        }
        if (words.installService + words.uninstallService + words.runAsService > 1) {
            return fail("--install-service, --uninstall-service and --run-as-service exclude "
                        "each other");
        }
        if (words.uninstallService) {
            if (!command.m_ports.empty() || words.every || words.dryRun || words.statusFile ||
                words.metricsFile) {
                return fail("--uninstall-service takes no other options");
            }
            command.m_action = SyncCommand::Action::UninstallService;
            return command;
        }
        if (words.dryRun) {
            return fail(std::string(option) + " does not go with --dry-run");
        }
        if (command.m_everyMicroseconds == 0) {
            return fail(std::string(option) +
                        " needs --every: a service that ends after one sequence would be started "
                        "again and again");
        }
        for (const std::string* path : {&command.m_statusFile, &command.m_metricsFile}) {
            if (!path->empty() && !IsFullPath(*path)) {
                return fail("\"" + *path + "\": a service needs the full path of its files");
            }
        }
        if (words.installService) {
            command.m_action = SyncCommand::Action::InstallService;
            command.m_serviceArguments = ServiceArguments(argc, argv);
        }
        command.m_runAsService = words.runAsService;
    }
    if (words.dryRun) {
        if (command.m_everyMicroseconds != 0) {
            return fail("--every does not go with --dry-run");
        }
        command.m_action = SyncCommand::Action::DryRun;
        return command;
    }
    if (command.m_at) {
        return fail("--at goes with --dry-run only (a sync sends the computer's time)");
    }
    if (command.m_ports.empty()) {
        return fail("give a port: --port N|DEVICE (or --dry-run)");
    }
    return command;
}

} // namespace kalvor_sync

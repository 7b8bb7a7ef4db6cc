#include "CommandLine.h"

#include "CommandCheck.h"
#include "DeviceList.h"
#include "tools/common/ArgumentParsing.h"
#include "tools/common/InstantText.h"
#include "tools/common/PortArgument.h"
#include "tools/common/zones/ZoneLibrary.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <fstream>
#include <map>
#include <memory>
#include <tuple>

namespace kalvor_sync {

namespace {

constexpr std::int64_t kShortestPeriod = 1'000'000;
constexpr std::int64_t kLongestPeriod = std::int64_t{366} * 86'400 * 1'000'000;

bool ParseWhole(const std::string& text, std::int64_t& value) {
    const char* end = text.data() + text.size();
    const auto [stop, failure] = std::from_chars(text.data(), end, value);
    return failure == std::errc() && stop == end;
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

// A host's name as names compare: in any case.
std::string Lowered(std::string host) {
    std::transform(host.begin(), host.end(), host.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return host;
}

// What makes two devices the same: a serial port's device, a network device's host (in any
// case) and port, whichever protocol reaches it.
std::string DeviceKey(const kalvor_tools::DeviceAddress& address) {
    if (const auto* port = std::get_if<platform::PortName>(&address)) {
        return port->device;
    }
    const auto& device = std::get<kalvor_tools::NetworkDevice>(address);
    return "[" + Lowered(device.host) + "]:" + std::to_string(device.port);
}

// The options as written, before their values are read.
using Problem = std::optional<std::string>;

struct Words {
    kalvor_tools::CommonFlags common;
    std::vector<std::string> ports;
    std::vector<std::string> servers;
    std::optional<std::string> portsFrom, offset, every, at, statusFile, metricsFile, maxError;
    std::optional<int> minPoll;
    std::optional<std::string> zone;
    bool noAlign = false, dryRun = false, requireSynced = false, quiet = false, verbose = false;
    bool installService = false, uninstallService = false, runAsService = false;
};

// The options as written, read by CLI11; the error it found, if any.
std::optional<std::string> ReadWords(int argc, const char* const argv[], Words& words) {
    CLI::App app("kalvor-sync");
    kalvor_tools::AddCommonFlags(app, words.common);
    kalvor_tools::AddPortOption(app, words.ports);
    app.add_option("--ports-from", words.portsFrom);
    app.add_option("--ntp-server", words.servers);
    app.add_option("--max-error", words.maxError);
    app.add_option("--ntp-min-poll", words.minPoll);
    app.add_option("--zone", words.zone);
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
    return kalvor_tools::ParseArguments(app, argc, argv);
}

// The zones the devices show, each read once from the zone files (ZoneLibrary::System()).
class ZoneCache {
public:
    SharedZone Load(const std::string& name, std::string& error) {
        if (const auto found = m_loaded.find(name); found != m_loaded.end()) {
            return found->second;
        }
        if (!m_library) {
            m_library = kalvor_zones::ZoneLibrary::System();
        }
        auto rules = m_library->Load(name, error);
        if (!rules) {
            return nullptr;
        }
        return m_loaded[name] = std::make_shared<DeviceZone>(DeviceZone{name, std::move(*rules)});
    }

private:
    std::optional<kalvor_zones::ZoneLibrary> m_library;
    std::map<std::string, SharedZone> m_loaded;
};

// The devices of --port and --ports-from, each once, with --offset and --zone for those that have
// no offset or zone of their own.
Problem ReadDevices(const Words& words, SyncCommand& command) {
    if (words.offset && !ParseOffset(*words.offset, command.m_latencyMicroseconds)) {
        return "--offset: \"" + *words.offset +
               "\" is not a number of milliseconds from -60000 to 60000";
    }
    std::vector<ListedDevice> listed;
    for (const std::string& text : words.ports) {
        kalvor_tools::DeviceArgument argument = kalvor_tools::ParseDeviceArgument(text);
        if (!argument.device) {
            return "--port: " + argument.problem;
        }
        listed.push_back({std::move(*argument.device), std::nullopt, {}, 0});
    }
    if (words.portsFrom) {
        std::ifstream file(*words.portsFrom);
        if (!file) {
            return "--ports-from: cannot read \"" + *words.portsFrom + "\"";
        }
        DeviceListReading reading = ReadDeviceList(file, *words.portsFrom);
        if (!reading.problem.empty()) {
            return "--ports-from: " + reading.problem;
        }
        std::move(reading.devices.begin(), reading.devices.end(), std::back_inserter(listed));
        command.m_ntpServers = std::move(reading.servers);
    }
    ZoneCache zones;
    SharedZone given;
    if (words.zone) {
        std::string error;
        given = zones.Load(*words.zone, error);
        if (!given) {
            return "--zone " + *words.zone + ": " + error;
        }
        command.m_zone = given;
    }
    std::vector<std::string> seen;
    for (ListedDevice& device : listed) {
        const std::string key = DeviceKey(device.address);
        if (std::find(seen.begin(), seen.end(), key) != seen.end()) {
            return kalvor_tools::DeviceLabel(device.address) + " is given twice";
        }
        seen.push_back(key);
        SharedZone zone = given;
        if (!device.zone.empty()) {
            std::string error;
            zone = zones.Load(device.zone, error);
            if (!zone) {
                return "--ports-from: " + *words.portsFrom + ":" + std::to_string(device.line) +
                       ": zone=" + device.zone + ": " + error;
            }
        }
        command.m_devices.push_back(
            {std::move(device.address),
             device.latencyMicroseconds.value_or(command.m_latencyMicroseconds), std::move(zone)});
    }
    return std::nullopt;
}

// The time reference's servers: those of --ntp-server, then a device list's, each once.
Problem ReadServers(const Words& words, SyncCommand& command) {
    std::vector<reference::ServerAddress> servers;
    for (const std::string& text : words.servers) {
        std::string error;
        const auto server = reference::ParseServer(text, error);
        if (!server) {
            return "--ntp-server " + text + ": " + error;
        }
        servers.push_back(*server);
    }
    servers.insert(servers.end(), command.m_ntpServers.begin(), command.m_ntpServers.end());
    command.m_ntpServers.clear();
    std::vector<std::string> seen;
    for (const reference::ServerAddress& server : servers) {
        const std::string key = Lowered(server.host) + ":" + std::to_string(server.port);
        if (std::find(seen.begin(), seen.end(), key) != seen.end()) {
            return "the NTP server " + server.Text() + " is given twice";
        }
        seen.push_back(key);
        command.m_ntpServers.push_back(server);
    }
    if (words.maxError) {
        std::int64_t bound = 0;
        if (!ParseOffset(*words.maxError, bound) || bound <= 0) {
            return "--max-error: \"" + *words.maxError +
                   "\" is not a number of milliseconds from 0.001 to 60000";
        }
        command.m_maxErrorMicroseconds = bound;
    }
    if (words.minPoll) {
        int exponent = 4;
        while (exponent <= 10 && (1 << exponent) != *words.minPoll) {
            ++exponent;
        }
        if (exponent > 10) {
            return "--ntp-min-poll: " + std::to_string(*words.minPoll) +
                   " is not one of 16, 32, 64, 128, 256, 512 and 1024 (seconds)";
        }
        command.m_ntpMinPollExponent = exponent;
    }
    return std::nullopt;
}

// The other options' values: the period, the instant, the files.
Problem ReadValues(const Words& words, SyncCommand& command) {
    if (words.every && !ParseDuration(*words.every, command.m_everyMicroseconds)) {
        return "--every: \"" + *words.every +
               "\" is not a duration such as 90s, 10m, 24h or 7d (at least 1s)";
    }
    if (words.at) {
        command.m_at = kalvor_tools::ParseInstant(*words.at);
        if (!command.m_at) {
            return "--at: \"" + *words.at +
                   "\" is not a local time \"YYYY-MM-DD HH:MM:SS\" of 2000 to 2099";
        }
    }
    command.m_align = !words.noAlign;
    command.m_requireSynced = words.requireSynced;
    for (const auto& [file, option, path] :
         {std::tuple{&words.statusFile, "--status-file", &command.m_statusFile},
          std::tuple{&words.metricsFile, "--metrics-file", &command.m_metricsFile}}) {
        if (*file && (*file)->empty()) {
            return std::string(option) + " needs a path";
        }
        *path = file->value_or(std::string());
    }
    return std::nullopt;
}

} // namespace

SyncCommand ParseSyncCommand(int argc, const char* const argv[]) {
    SyncCommand command;
    Words words;
    Problem problem = ReadWords(argc, argv, words);
    if (!problem && words.common.help) {
        command.m_action = SyncCommand::Action::Help;
        return command;
    }
    if (!problem && words.common.version) {
        command.m_action = SyncCommand::Action::Version;
        return command;
    }
    if (!problem) {
        problem = ReadDevices(words, command);
    }
    if (!problem) {
        problem = ReadServers(words, command);
    }
    if (!problem) {
        problem = ReadValues(words, command);
    }
    if (!problem) {
        command.m_given = {words.dryRun,
                           words.quiet,
                           words.verbose,
                           words.installService,
                           words.uninstallService,
                           words.runAsService,
                           words.maxError.has_value() || words.minPoll.has_value(),
                           words.portsFrom.value_or(std::string()),
                           {argv + 1, argv + argc}};
        problem = CheckSyncCommand(command);
    }
    if (problem) {
        command.m_action = SyncCommand::Action::UsageError;
        command.m_error = *problem;
    }
    return command;
}

} // namespace kalvor_sync

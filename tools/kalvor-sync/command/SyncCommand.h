#pragma once

#include "platform/LocalInstant.h"
#include "tools/kalvor-sync/devices/SyncDevice.h"
#include "tools/kalvor-sync/log/Verbosity.h"
#include "tools/kalvor-sync/reference/ServerAddress.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kalvor_sync {

// With --require-synced, the time reference is used in holdover while it may be wrong by no more
// than this: half of the 0.2 s that sites allow a clock, since the device's own latency comes on
// top. From a bound of about a millisecond, a reference without its servers takes some two hours
// (at 15 ppm) to reach it.
inline constexpr std::int64_t kDefaultMaxErrorMicroseconds = 100'000;

// What kalvor-sync was asked to do: the configuration its command line makes (CommandLine.h),
// once the options' values are read and the rules they obey together are checked
// (CommandCheck.h).
struct SyncCommand {
    enum class Action {
        Sync,
        DryRun,
        InstallService,   // --install-service (Windows)
        UninstallService, // --uninstall-service (Windows)
        Help,
        Version,
        UsageError
    };
    using Verbosity = kalvor_sync::Verbosity;

    Action m_action = Action::Sync;
    std::vector<SyncDevice> m_devices;         // --port and --ports-from, each device once
    bool m_align = true;                       // --no-align turns it off
    bool m_requireSynced = false;              // --require-synced
    std::int64_t m_latencyMicroseconds = 0;    // --offset MS, for devices without their own
    std::int64_t m_everyMicroseconds = 0;      // --every DURATION; 0: one sequence
    std::optional<LocalInstant> m_at;          // --at with --dry-run
    SharedZone m_zone;                         // --zone: also what --dry-run shows
    Verbosity m_verbosity = Verbosity::Normal; // --quiet, --verbose
    // --ntp-server and a device list's ntp-server lines: the time reference's servers; none:
    // the devices get the computer's time.
    std::vector<reference::ServerAddress> m_ntpServers;
    // --max-error MS: with --require-synced, the most a reference in holdover may be wrong by.
    std::int64_t m_maxErrorMicroseconds = kDefaultMaxErrorMicroseconds;
    // --ntp-min-poll SECONDS, as a power of two: how often the servers are asked at the most once
    // they answer steadily (64 s; 16 s on a LAN of one's own).
    int m_ntpMinPollExponent = 6;
    std::string m_statusFile;    // --status-file PATH; empty: none
    std::string m_metricsFile;   // --metrics-file PATH; empty: none
    bool m_runAsService = false; // --run-as-service: started by the service manager
    // With InstallService: the command line the service runs with (that of this run, without
    // --install-service, after --run-as-service).
    std::vector<std::string> m_serviceArguments;
    std::string m_error; // with UsageError: what is wrong, for stderr

    // The options as given, which the checks weigh together and then settle into the fields
    // above (the action, the verbosity, the service's part).
    struct Given {
        bool dryRun = false, quiet = false, verbose = false;
        bool installService = false, uninstallService = false, runAsService = false;
        bool referenceTuning = false;       // --max-error or --ntp-min-poll
        std::string portsFrom;              // --ports-from's path
        std::vector<std::string> arguments; // the whole command line, after the program
    } m_given;
};

} // namespace kalvor_sync

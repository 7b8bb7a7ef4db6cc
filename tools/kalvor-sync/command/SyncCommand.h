#pragma once

#include "platform/LocalInstant.h"
#include "tools/kalvor-sync/devices/SyncDevice.h"
#include "tools/kalvor-sync/log/Verbosity.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kalvor_sync {

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
    Verbosity m_verbosity = Verbosity::Normal; // --quiet, --verbose
    std::string m_statusFile;                  // --status-file PATH; empty: none
    std::string m_metricsFile;                 // --metrics-file PATH; empty: none
    bool m_runAsService = false;               // --run-as-service: started by the service manager
    // With InstallService: the command line the service runs with (that of this run, without
    // --install-service, after --run-as-service).
    std::vector<std::string> m_serviceArguments;
    std::string m_error; // with UsageError: what is wrong, for stderr

    // The options as given, which the checks weigh together and then settle into the fields
    // above (the action, the verbosity, the service's part).
    struct Given {
        bool dryRun = false, quiet = false, verbose = false;
        bool installService = false, uninstallService = false, runAsService = false;
        std::string portsFrom;              // --ports-from's path
        std::vector<std::string> arguments; // the whole command line, after the program
    } m_given;
};

} // namespace kalvor_sync

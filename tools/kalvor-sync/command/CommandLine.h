#pragma once

#include "platform/LocalInstant.h"
#include "tools/kalvor-sync/devices/SyncDevice.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kalvor_sync {

// What kalvor-sync was asked to do, from its command line.
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
    enum class Verbosity { Quiet, Normal, Verbose };

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
};

SyncCommand ParseSyncCommand(int argc, const char* const argv[]);

// The --help text: what it does, the options and the exit codes.
const char* SyncUsageText();

// Exit codes, as --help tells them.
inline constexpr int kExitSent = 0;
inline constexpr int kExitPortNotOpened = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitSendFailed = 3;
inline constexpr int kExitClockNotSynced = 4;
inline constexpr int kExitServiceInstalledAlready = 5;
inline constexpr int kExitServiceNotInstalled = 6;
inline constexpr int kExitServiceAccessDenied = 7;
inline constexpr int kExitServiceFailed = 8;
inline constexpr int kExitInterrupted = 130;

} // namespace kalvor_sync

#pragma once

#include "platform/ServiceControl.h"
#include "tools/kalvor-sync/command/SyncCommand.h"

#include <functional>
#include <ostream>
#include <string>

namespace kalvor_sync {

// kalvor-sync as a Windows service: installed (--install-service), removed
// (--uninstall-service), and run under the Service Control Manager (--run-as-service, which the
// installed command line carries), its devices set and failures told to the Event Log.

inline constexpr const char* kServiceName = "kalvor-sync";
inline constexpr const char* kServiceDisplayName = "Kalvor clock sync";

// The events of the Event Log, as the message file compiled into kalvor-sync.exe
// (ServiceMessages.mc) numbers them; each has one insert, the line the console would show.
enum ServiceEventId : unsigned {
    kEventServiceStarted = 1,
    kEventServiceStopped = 2,
    kEventDeviceSet = 3,
    kEventWarning = 4,
    kEventFailure = 5,
    kEventRecovery = 6,
};

// Where the service writes its status unless --status-file says otherwise: the folder
// Kalvor\kalvor-sync in the common application data folder.
std::string DefaultServiceStatusFile();

// The service that runs `command` (an InstallService command).
platform::ServiceDefinition SyncServiceDefinition(const SyncCommand& command);

// Installs the service `command` describes; tells how it went on `out` or `errors`; returns the
// exit status. `install` is platform::InstallService, or a stand-in in tests.
using ServiceInstaller = std::function<platform::ServiceResult(const platform::ServiceDefinition&)>;
int InstallSyncService(const SyncCommand& command, std::ostream& out, std::ostream& errors,
                       const ServiceInstaller& install = &platform::InstallService);

// Removes the service; the same.
using ServiceRemover = std::function<platform::ServiceResult(const std::string&)>;
int UninstallSyncService(std::ostream& out, std::ostream& errors,
                         const ServiceRemover& uninstall = &platform::UninstallService);

// Runs `command` (--run-as-service) under the Service Control Manager until it stops the
// service; returns the exit status. Started otherwise, it says so on `errors` and returns 2.
int RunSyncService(const SyncCommand& command, std::ostream& errors);

} // namespace kalvor_sync

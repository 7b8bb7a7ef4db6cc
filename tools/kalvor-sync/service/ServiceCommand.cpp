#include "ServiceCommand.h"

#include "platform/ClockSync.h"
#include "platform/Interruption.h"
#include "platform/ServiceNotify.h"
#include "tools/kalvor-sync/command/ExitStatus.h"
#include "tools/kalvor-sync/program/SyncProgram.h"
#include "tools/kalvor-sync/status/StatusReporter.h"

namespace kalvor_sync {

namespace {

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// The service's outcome as an exit status, with what the user is told.
int Tell(const platform::ServiceResult& result, const std::string& done, std::ostream& out,
         std::ostream& errors) {
    switch (result.outcome) {
    case platform::ServiceOutcome::Done:
        out << done << "\n";
        if (!result.detail.empty()) {
            errors << "kalvor-sync: warning: " << result.detail << "\n";
        }
        return kExitSent;
    case platform::ServiceOutcome::AlreadyInstalled:
        errors << "kalvor-sync: " << result.detail
               << "; to change its options, remove it first (kalvor-sync --uninstall-service)\n";
        return kExitServiceInstalledAlready;
    case platform::ServiceOutcome::NotInstalled:
        errors << "kalvor-sync: " << result.detail << "\n";
        return kExitServiceNotInstalled;
    case platform::ServiceOutcome::AccessDenied:
        errors << "kalvor-sync: " << result.detail
               << "; installing and removing services is for administrators: run it from a "
                  "command prompt run as administrator\n";
        return kExitServiceAccessDenied;
    case platform::ServiceOutcome::Failed:
        errors << "kalvor-sync: " << result.detail << "\n";
        return kExitServiceFailed;
    }
    return kExitServiceFailed;
}

platform::ServiceEventKind KindOf(SyncLog::Event event) {
    switch (event) {
    case SyncLog::Event::Warning:
        return platform::ServiceEventKind::Warning;
    case SyncLog::Event::Failure:
        return platform::ServiceEventKind::Error;
    case SyncLog::Event::DeviceSet:
    case SyncLog::Event::Recovery:
        return platform::ServiceEventKind::Information;
    }
    return platform::ServiceEventKind::Information;
}

ServiceEventId IdOf(SyncLog::Event event) {
    switch (event) {
    case SyncLog::Event::DeviceSet:
        return kEventDeviceSet;
    case SyncLog::Event::Warning:
        return kEventWarning;
    case SyncLog::Event::Failure:
        return kEventFailure;
    case SyncLog::Event::Recovery:
        return kEventRecovery;
    }
    return kEventWarning;
}

} // namespace

std::string DefaultServiceStatusFile() {
    const std::string shared = platform::SharedDataFolder();
    return shared.empty() ? std::string() : shared + "\\Kalvor\\kalvor-sync\\status.json";
}

platform::ServiceDefinition SyncServiceDefinition(const SyncCommand& command) {
    platform::ServiceDefinition definition;
    definition.name = kServiceName;
    definition.displayName = kServiceDisplayName;
    definition.description = "Keeps the clock devices on serial lines set to this computer's "
                             "time (kalvor-sync); tells the Event Log of every device set and "
                             "every failure.";
    definition.arguments = command.m_serviceArguments;
    const std::string statusFile =
        command.m_statusFile.empty() ? DefaultServiceStatusFile() : command.m_statusFile;
    if (command.m_statusFile.empty()) {
        definition.arguments.push_back("--status-file");
        definition.arguments.push_back(statusFile);
    }
    for (const std::string* file : {&statusFile, &command.m_metricsFile}) {
        const std::string folder = FolderOf(*file);
        if (!folder.empty()) {
            definition.writableFolders.push_back(folder);
        }
    }
    return definition;
}

int InstallSyncService(const SyncCommand& command, std::ostream& out, std::ostream& errors,
                       const ServiceInstaller& install) {
    const platform::ServiceDefinition definition = SyncServiceDefinition(command);
    std::string arguments;
    for (const std::string& argument : definition.arguments) {
        arguments += " " + argument;
    }
    return Tell(install(definition),
                "installed the service " + definition.name + " (\"" + definition.displayName +
                    "\"), which starts with Windows and runs:" + arguments +
                    "\nstart it now with: sc start " + definition.name,
                out, errors);
}

int UninstallSyncService(std::ostream& out, std::ostream& errors, const ServiceRemover& uninstall) {
    return Tell(uninstall(kServiceName),
                std::string("removed the service ") + kServiceName +
                    " (its status folder stays, with the last status in it)",
                out, errors);
}

int RunSyncService(const SyncCommand& command, std::ostream& errors) {
    SyncCommand service = command;
    if (service.m_statusFile.empty()) {
        service.m_statusFile = DefaultServiceStatusFile();
    }
    // A service has no console: what the program would print goes to the Event Log alone.
    std::ostream nowhere(nullptr);
    const platform::ServiceRun run =
        platform::RunAsService(kServiceName, [&](platform::ServiceEventLog& events) {
            // The process's one notifier. The service reports running as soon as a stop can be
            // heard, before the first sequence (systemd hears "ready" only after it, where units
            // ordered after this one want the devices set): the Service Control Manager takes no
            // questions while it waits for a service to start, and the clock check asks it of
            // the time service.
            const platform::Interruption interruption;
            platform::ServiceNotify notify;
            notify.Ready();
            events.Report(platform::ServiceEventKind::Information, kEventServiceStarted,
                          service.m_statusFile);
            const int status =
                RunSync(service, nowhere, nowhere, &platform::ReadClockSyncState, interruption,
                        notify, [&events](SyncLog::Event event, const std::string& line) {
                            events.Report(KindOf(event), IdOf(event), line);
                        });
            events.Report(platform::ServiceEventKind::Information, kEventServiceStopped,
                          StoppedLine(status, interruption.Cause()));
            // A sequence cut short by the service manager's stop is the stop it asked for, not a
            // failure (the status file keeps the 130).
            return status == kExitInterrupted ? kExitSent : status;
        });
    if (!run.ran) {
        errors << "kalvor-sync: --run-as-service: " << run.failure
               << " (it is what the installed service runs; leave it out to run kalvor-sync "
                  "yourself)\n";
        return kExitUsage;
    }
    return run.exitStatus;
}

} // namespace kalvor_sync

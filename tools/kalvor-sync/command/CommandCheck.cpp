#include "CommandCheck.h"

#include "platform/ServiceControl.h"

#include <cctype>

namespace kalvor_sync {

namespace {

using Action = SyncCommand::Action;
using Problem = std::optional<std::string>;

// A path that names its folder whatever the folder a program starts in, as a service needs:
// "/run/x", "C:\x", "\\server\x".
bool IsFullPath(const std::string& path) {
    const bool drive = path.size() > 2 && std::isalpha(static_cast<unsigned char>(path[0])) &&
                       path[1] == ':' && (path[2] == '\\' || path[2] == '/');
    return drive || (!path.empty() && (path[0] == '/' || path[0] == '\\'));
}

// The command line a service runs with: this one without --install-service.
std::vector<std::string> ServiceArguments(const std::vector<std::string>& given) {
    std::vector<std::string> arguments{"--run-as-service"};
    for (const std::string& argument : given) {
        if (argument != "--install-service") {
            arguments.push_back(argument);
        }
    }
    return arguments;
}

// The service's rules: installing, removing and running as a service are Windows', one at a
// time; a service repeats (--every) and names its files by their full paths, since it starts in
// the system's folder.
Problem CheckServiceRules(SyncCommand& command) {
    const SyncCommand::Given& given = command.m_given;
    const std::string option = given.installService     ? "--install-service"
                               : given.uninstallService ? "--uninstall-service"
                                                        : "--run-as-service";
    if (!platform::ServicesAvailable()) {
        return option +
               " is for Windows; on Linux the package's systemd units run kalvor-sync as a service "
               "(kalvor-sync-follow@.service)";
    }
    if (given.installService + given.uninstallService + given.runAsService > 1) {
        return "--install-service, --uninstall-service and --run-as-service exclude each other";
    }
    if (given.uninstallService) {
        if (!command.m_devices.empty() || command.m_everyMicroseconds != 0 || given.dryRun ||
            !command.m_statusFile.empty() || !command.m_metricsFile.empty() ||
            !command.m_ntpServers.empty()) {
            return "--uninstall-service takes no other options";
        }
        command.m_action = Action::UninstallService;
        return std::nullopt;
    }
    if (given.dryRun) {
        return option + " does not go with --dry-run";
    }
    if (command.m_everyMicroseconds == 0) {
        return option + " needs --every: a service that ends after one sequence would be "
                        "started again and again";
    }
    for (const std::string* path : std::initializer_list<const std::string*>{
             &command.m_statusFile, &command.m_metricsFile, &given.portsFrom}) {
        if (!path->empty() && !IsFullPath(*path)) {
            return "\"" + *path + "\": a service needs the full path of its files";
        }
    }
    if (given.installService) {
        command.m_action = Action::InstallService;
        command.m_serviceArguments = ServiceArguments(given.arguments);
    }
    command.m_runAsService = given.runAsService;
    return std::nullopt;
}

} // namespace

Problem CheckSyncCommand(SyncCommand& command) {
    const SyncCommand::Given& given = command.m_given;
    if (given.quiet && given.verbose) {
        return "--quiet and --verbose exclude each other";
    }
    command.m_verbosity = given.quiet     ? Verbosity::Quiet
                          : given.verbose ? Verbosity::Verbose
                                          : Verbosity::Normal;
    if (given.installService || given.uninstallService || given.runAsService) {
        if (Problem problem = CheckServiceRules(command)) {
            return problem;
        }
        if (command.m_action == Action::UninstallService) {
            return std::nullopt;
        }
    }
    if (given.referenceTuning && command.m_ntpServers.empty()) {
        return "--max-error and --ntp-min-poll go with a time reference (--ntp-server)";
    }
    if (given.dryRun) {
        if (command.m_everyMicroseconds != 0) {
            return "--every does not go with --dry-run";
        }
        if (!command.m_ntpServers.empty()) {
            return "--ntp-server does not go with --dry-run (a dry run shows the computer's time)";
        }
        command.m_action = Action::DryRun;
        return std::nullopt;
    }
    if (command.m_at) {
        return "--at goes with --dry-run only (a sync sends the computer's time)";
    }
    if (command.m_devices.empty()) {
        return "give a port: --port N|DEVICE|URL or --ports-from FILE (or --dry-run)";
    }
    return std::nullopt;
}

} // namespace kalvor_sync

#pragma once

#include <functional>
#include <string>
#include <vector>

namespace platform {

// This program as a service of the system's service manager: installed, removed, and run under
// it, with the system's event log. Win32: the Service Control Manager and the Event Log.
// POSIX: the init system's units name the program themselves (and its standard error is their
// log), so there is nothing to install: ServicesAvailable() is false and every call says so.

bool ServicesAvailable();

struct ServiceDefinition {
    std::string name;        // the service's key name, and its event source's
    std::string displayName; // what the services console shows
    std::string description;
    // The command line the service is started with, after the executable (the running one).
    std::vector<std::string> arguments;
    // Folders the service writes: created if missing, with write access for its account.
    std::vector<std::string> writableFolders;
};

enum class ServiceOutcome {
    Done,
    AlreadyInstalled,
    NotInstalled,
    AccessDenied, // the user may not install or remove services (not an administrator)
    Failed,       // anything else; the detail says what
};

struct ServiceResult {
    ServiceOutcome outcome = ServiceOutcome::Done;
    // What failed, with the system's reason; after Done, what a user should know of how it went
    // (an account the system lacked), or empty.
    std::string detail;
};

// Installs the running executable as the service `definition.name`: started automatically with
// the system, under the least-privileged account that can open a serial port (LocalService where
// the system has it, else LocalSystem), restarted by the service manager when it fails, and with
// an event source of the same name whose message file is the executable.
ServiceResult InstallService(const ServiceDefinition& definition);

// Stops the service if it runs (waiting up to half a minute) and removes it and its event
// source. The files it wrote stay.
ServiceResult UninstallService(const std::string& name);

// The folder where a service keeps its files for every user (the common application data
// folder); empty on POSIX.
std::string SharedDataFolder();

// What a program that runs as a service tells the system's event log, under its event source:
// one event of the program's message file (`eventId`), whose one insert is `text`.
enum class ServiceEventKind { Information, Warning, Error };
class ServiceEventLog {
public:
    virtual ~ServiceEventLog() = default;
    virtual void Report(ServiceEventKind kind, unsigned eventId, const std::string& text) = 0;
};

// The body of a service: runs until the service manager asks it to stop, which reaches it as
// the user's request to stop does (platform/Interruption.h); tells the manager it is running
// through ServiceNotify; returns the program's exit status.
using ServiceBody = std::function<int(ServiceEventLog& events)>;

struct ServiceRun {
    bool ran = false;    // false: the program was not started by the service manager
    int exitStatus = 0;  // the body's
    std::string failure; // when it did not run: why, in words
};

// Hands this process to the service manager as the service `name` and runs `body` as it; returns
// once the service has stopped.
ServiceRun RunAsService(const std::string& name, const ServiceBody& body);

} // namespace platform

#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace platform {

// Tells the service manager that runs this program how it is doing. A program that no service
// manager runs (no notify socket, not started as a service) works the same: every call then does
// nothing.
//
// POSIX: systemd's notify protocol, datagrams to the socket named by NOTIFY_SOCKET (a path, or
// an abstract name after '@'), its watchdog from WATCHDOG_USEC (and WATCHDOG_PID, when set,
// naming this process). Win32: the Service Control Manager, when the program runs under it
// (ServiceControl.h): Ready reports the service running, Stopping its stop pending; there is
// no status line and no watchdog.
//
// Used from the thread that runs the program's loop only.
class ServiceNotify {
public:
    ServiceNotify();
    ~ServiceNotify();
    ServiceNotify(const ServiceNotify&) = delete;
    ServiceNotify& operator=(const ServiceNotify&) = delete;

    // Started: systemd's READY=1; SERVICE_RUNNING under the Service Control Manager.
    void Ready();
    // One line saying how the program is doing: systemd's STATUS=.
    void Status(const std::string& line);
    // Stopping now: systemd's STOPPING=1; SERVICE_STOP_PENDING.
    void Stopping();

    // How long the watchdog waits for a sign of life before it counts the program as hung, in
    // microseconds; 0 when there is no watchdog.
    std::int64_t WatchdogMicroseconds() const;
    // A sign of life: systemd's WATCHDOG=1.
    void WatchdogAlive();

private:
    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace platform

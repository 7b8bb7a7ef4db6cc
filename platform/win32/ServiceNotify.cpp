#include "platform/ServiceNotify.h"

#include "platform/win32/RunningService.h"

#include <windows.h>

namespace platform {

// The Service Control Manager has no status line and no watchdog: it hears of the service's
// start and stop only.
struct ServiceNotify::State {};

ServiceNotify::ServiceNotify() : m_state(std::make_unique<State>()) {}

ServiceNotify::~ServiceNotify() = default;

void ServiceNotify::Ready() {
    if (RunningAsService()) {
        ReportServiceState(SERVICE_RUNNING);
    }
}

void ServiceNotify::Status(const std::string&) {}

void ServiceNotify::Stopping() {
    if (RunningAsService()) {
        ReportServiceState(SERVICE_STOP_PENDING);
    }
}

std::int64_t ServiceNotify::WatchdogMicroseconds() const {
    return 0;
}

void ServiceNotify::WatchdogAlive() {}

} // namespace platform

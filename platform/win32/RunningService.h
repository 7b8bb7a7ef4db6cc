#pragma once

#include <windows.h>

namespace platform {

// The service this process runs as, when RunAsService handed it to the Service Control Manager;
// ServiceNotify reports through it. Both are called from the thread that runs the service's
// body; the manager's control handler reports from its own thread, under the same lock.

// True while the process runs as a service.
bool RunningAsService();

// Reports the service's state to the manager (SERVICE_RUNNING, SERVICE_STOP_PENDING), with the
// controls it takes in that state; running only once, after the start.
void ReportServiceState(DWORD state);

// Sets the user's request to stop, as Ctrl-C does in a console (platform/Interruption.h);
// defined with the interruption.
void RequestInterruption();

} // namespace platform

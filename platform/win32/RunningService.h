#pragma once

#include "platform/Interruption.h"

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

// What the service does with a control of the Service Control Manager, which the control handler
// hands on: a stop, and the system's shutdown notices, ask the program to stop (each with its
// cause) and report the stop pending. NO_ERROR when taken, ERROR_CALL_NOT_IMPLEMENTED otherwise.
DWORD TakeServiceControl(DWORD control);

// The status reported to the manager last, as it was meant (also where no manager runs: tests).
SERVICE_STATUS LastReportedServiceStatus();

// Sets the request to stop, as Ctrl-C does in a console (platform/Interruption.h), from
// `cause`; defined with the interruption.
void RequestInterruption(StopCause cause);

} // namespace platform

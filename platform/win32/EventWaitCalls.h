#pragma once

#include <windows.h>

namespace platform {

// The system call that starts a port's event wait, as the Windows backend makes it. Tests put
// another in its place to give the answers that only some Wine runs give (a wait that ends with
// its event signalled while its record still says pending, a new wait refused for a while), which
// a real line cannot be made to give on demand.
struct EventWaitCalls {
    decltype(&::WaitCommEvent) waitCommEvent = &::WaitCommEvent;
};

// The calls in use, shared by every port of the process; replaced only while no port is open.
EventWaitCalls& EventWaitCallsInUse();

} // namespace platform

#pragma once

#include "platform/PortName.h"

#include <string>

namespace platform {

// The serial calls whose failures are shown to the user.
enum class PortOperation {
    CreateEvents,      // the port's events could not be made
    Open,              // the device could not be opened
    SetTimeouts,       // time limits of reads and writes
    SetEventMask,      // the events the port's wait listens for
    GetLineSettings,   // reading the line's settings
    BuildLineSettings, // applying the line definition to them
    SetLineSettings,   // writing them to the port
    EventWait,         // starting the wait for port events
    Write,             // starting a write
    WriteCompletion,   // a write that failed while under way
    Read,              // starting a read
    ReadCompletion,    // a read that failed while under way
};

// How each operation is told to the user: in the window's report, by the name of the system call
// ("SetCommTimeouts()"), and by the command-line tools in plain words ("cannot set the port's
// time-outs").
struct PortOperationWords {
    const char* reported;
    const char* plain;
};
const PortOperationWords& WordsFor(PortOperation operation);

// One failed serial call, as data: which call, the system's own error, and the port. Made once,
// where the failure is met; the window and the command-line tools each word it their own way.
struct PortError {
    PortOperation operation = PortOperation::Open;
    unsigned systemCode = 0;
    // The system's text for the code as the system delivers it: with its own closing line break
    // where it has one (Win32), without on POSIX; empty when the system has no text for the code.
    std::string systemText;
    PortName port;
};

// The failure of `operation` on `port`, with the calling thread's last system error. Call it
// right where the failure is met, before any other call can change that error.
PortError CapturePortError(PortOperation operation, const PortName& port);

} // namespace platform

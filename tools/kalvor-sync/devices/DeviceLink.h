#pragma once

#include "timeset/TimeFrame.h"

#include <string>

namespace kalvor_sync {

// One device, reached for one sequence. This is the seam between the sequence, which only paces
// frames, and the way each kind of device is reached: a serial line (SerialLink.h), a raw TCP
// connection or an RFC 2217 session (NetworkLink.h). Whatever the kind, a frame is handed over
// without waiting, so that a thread starts it on many devices at the same instant. Failures are
// told in words that name the device. Destroying a link lets the device go, after its last frame.
class DeviceLink {
public:
    virtual ~DeviceLink() = default;

    // Starts the frame on its way. False when the device can no longer be written to.
    virtual bool StartFrame(const TimeFrame& frame, std::string& error) = 0;
    // Waits until the frame started last has gone out (at once where it went at once).
    virtual bool FinishFrame(std::string& error) = 0;
    // Between frames: takes and drops what the device or its server sent, and answers what the
    // device's protocol asks. A failure met here is told by the next StartFrame.
    virtual void Tend() = 0;
};

} // namespace kalvor_sync

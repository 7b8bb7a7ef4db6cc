#pragma once

#include "DeviceLink.h"
#include "platform/CommPort.h"
#include "platform/PortName.h"

#include <memory>

namespace kalvor_sync {

// A device on a serial line, written through the platform's port directly rather than through a
// port's monitor thread: the frame's writer starts it on every device at the instant, with no
// thread to wake per device in between (with a monitor each, 250 lines took some 10 ms to all
// be written).
// Nothing the device sends is read; the line's input queue is emptied when it opens.
class SerialLink final : public DeviceLink {
public:
    // Opens the port at 9600 8N1. Null, with what failed in `error`, when it cannot be opened or
    // set up.
    static std::unique_ptr<SerialLink> Open(const platform::PortName& port, std::string& error);

    bool StartFrame(const TimeFrame& frame, std::string& error) override;
    bool FinishFrame(std::string& error) override;
    void Tend() override {}

private:
    explicit SerialLink(const platform::PortName& port) : m_name(port) {}

    platform::PortName m_name;
    platform::CommPort m_port;
};

} // namespace kalvor_sync

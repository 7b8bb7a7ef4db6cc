#pragma once

#include "platform/CommPort.h"
#include "platform/PortName.h"
#include "tools/kalvor-sync/devices/DeviceLink.h"

#include <memory>

namespace kalvor_sync {

// A device on a serial line, written through the platform's port directly rather than through a
// port's monitor thread: the frame's writer starts it on every device at the instant, with no
// thread to wake per device in between (with a monitor each, 250 lines took some 10 ms to all
// be written).
// Nothing the device sends is read; the line's input queue is emptied when it opens.
//
// A frame counts as written once the line has taken it, and a line that has not taken it within
// kFrameLimitMs fails: a USB adapter whose far side hangs, a Bluetooth port whose peer left, or
// flow control the device never releases would otherwise be counted "set" with nothing sent.
// The frame itself takes 4.17 ms at 9600 baud; the limit leaves room for an adapter's latency and
// the system's 15.6 ms timer ticks, and ends before the next frame is due 200 ms after this one,
// so that a stuck line never holds up another device's next frame.
class SerialLink final : public DeviceLink {
public:
    static constexpr std::uint32_t kFrameLimitMs = 150;

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
    std::uint32_t m_frameBytes = 0; // of the frame started last
};

} // namespace kalvor_sync

#pragma once

#include "DeviceLink.h"
#include "NetworkLink.h"
#include "SyncDevice.h"
#include "platform/Interruption.h"
#include "platform/Socket.h"

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace kalvor_sync {

// How network devices are reached: the look-up of names, and the time limit within which a
// device must be connected (and its RFC 2217 line set up).
struct NetworkOptions {
    HostResolver resolve = &platform::ResolveTcp;
    int connectLimitSeconds = kConnectLimitSeconds;
};

// A device opened for a sequence, or why it could not be.
struct OpenedDevice {
    std::unique_ptr<DeviceLink> link; // null when it failed
    std::string failure;              // in words that name the device
};

// Opens many devices at once, within one time limit: serial ports at once, one after the
// other, as they open without waiting; network devices all together, each look-up, connection
// and negotiation running beside the others, so that ten silent devices cost one time limit,
// not ten. The caller drives it with Advance(), and may do other things between the calls.
class DeviceOpening {
public:
    DeviceOpening(const std::vector<SyncDevice>& devices, const NetworkOptions& network);

    // Waits up to `waitMs` for the opening to move on; true once every device is open or
    // failed. Returns early when the user asks to stop (interruption.Requested() tells).
    bool Advance(int waitMs, const platform::Interruption& interruption);
    bool Done() const;

    // One per device, in the order given; call once Done().
    std::vector<OpenedDevice> Take();

private:
    using Clock = std::chrono::steady_clock;

    void Settle();

    std::vector<OpenedDevice> m_opened;
    // The network devices still opening, at their device's index; null for the others.
    std::vector<std::unique_ptr<NetworkLink>> m_opening;
    const int m_limitSeconds;
    const Clock::time_point m_deadline;
    platform::SocketWait m_wait;
};

} // namespace kalvor_sync

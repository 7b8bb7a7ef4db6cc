#pragma once

#include "NetworkLink.h"
#include "NetworkOptions.h"
#include "platform/Interruption.h"
#include "platform/Socket.h"
#include "tools/kalvor-sync/devices/DeviceRecord.h"

#include <chrono>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace kalvor_sync {

// A device whose opening ended: its record holds the link when it opened; otherwise why not.
struct EndedOpening {
    DeviceRecord* record = nullptr;
    std::string failure; // in words that name the device; empty when the link is open
};

// Opens many devices at once, each within the connect time limit from when it was added: serial
// ports at once, as they open without waiting; network devices all together, each look-up,
// connection and negotiation running beside the others, so that ten silent devices cost one time
// limit, not ten. Devices may join while others are still being opened. The caller drives it
// with Advance(), and may do other things between the calls (--every watches the clocks).
class DeviceOpening {
public:
    explicit DeviceOpening(const NetworkOptions& network) : m_network(network) {}

    // Starts opening the record's device; once it ends, the link goes into the record.
    void Add(DeviceRecord& record);

    // Waits up to `waitMs`, returning as soon as some device's opening ended, when none is still
    // under way, or when the user asks to stop (interruption.Requested() tells).
    void Advance(int waitMs, const platform::Interruption& interruption);
    // True while some device is still being opened.
    bool Pending() const { return !m_opening.empty(); }

    // The devices whose opening ended since the last call, open or failed.
    std::vector<EndedOpening> TakeEnded();

private:
    using Clock = std::chrono::steady_clock;

    // A network device under way, and when it must be open.
    struct Opening {
        DeviceRecord* record;
        std::unique_ptr<NetworkLink> link;
        Clock::time_point deadline;
    };

    // Moves the openings that ended to m_ended; those past their deadline fail.
    void Settle();

    const NetworkOptions m_network;
    std::vector<Opening> m_opening;
    std::vector<EndedOpening> m_ended;
    platform::SocketWait m_wait;
};

} // namespace kalvor_sync

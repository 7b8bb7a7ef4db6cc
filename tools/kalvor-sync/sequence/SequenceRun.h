#pragma once

#include "platform/DeadlineTimer.h"
#include "platform/Interruption.h"
#include "tools/kalvor-sync/devices/SyncDevice.h"
#include "tools/kalvor-sync/links/DeviceOpening.h"
#include "tools/kalvor-sync/log/SyncLog.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kalvor_sync {

// How a sequence went on one device, from best to worst (the exit status is the worst of them).
enum class PortOutcome { Sent, NotOpened, SendFailed };

struct PortResult {
    PortOutcome outcome = PortOutcome::Sent;
    // What went wrong, in plain words naming the device, in the order it was met.
    std::vector<std::string> errors;
};

struct SequenceResult {
    bool interrupted = false;      // Ctrl-C came before the sequence was complete
    std::vector<PortResult> ports; // one per device asked for, in the same order
};

// One sequence on one or several devices at once, start to end: opens them (all at once, within
// the network's connect time limit), plans the sequence, writes each frame to every device at its
// instant (FrameWriters.h), and lets them go again, so that they are free between runs. Each
// device's seconds frame reaches its line at the same top of a second (less its own latency); a
// device that fails is dropped from the rest of the sequence and does not hold up the others.
// Each device set is told on the log; failures are returned for the caller to tell. The end of
// Send() is the one place where every device's outcome of a sequence is known.
class SequenceRun {
public:
    SequenceRun(bool align, SyncLog& log, const platform::Interruption& interruption,
                platform::DeadlineTimer& timer, NetworkOptions network = {})
        : m_align(align), m_log(log), m_interruption(interruption), m_timer(timer),
          m_network(std::move(network)) {}

    // `reason`, when not empty, is why this sequence runs ("port back"); each device set is told
    // with it.
    SequenceResult Once(const std::vector<SyncDevice>& devices, const std::string& reason = {});

    // The sequence on devices opened already: `opened[i]` is `devices[i]`'s.
    SequenceResult Send(std::vector<OpenedDevice> opened, const std::vector<SyncDevice>& devices,
                        const std::string& reason);

    const NetworkOptions& Network() const { return m_network; }

private:
    const bool m_align;
    SyncLog& m_log;
    const platform::Interruption& m_interruption;
    platform::DeadlineTimer& m_timer;
    const NetworkOptions m_network;
};

} // namespace kalvor_sync

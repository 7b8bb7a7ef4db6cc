#pragma once

#include "TimeBase.h"
#include "platform/Interruption.h"
#include "tools/kalvor-sync/devices/DeviceRecord.h"
#include "tools/kalvor-sync/links/NetworkOptions.h"
#include "tools/kalvor-sync/log/SyncLog.h"

#include <cstdint>
#include <optional>
#include <string>

namespace kalvor_sync {

// How a sequence ended: it ran to its end (each device's record tells how it went there), or
// the user asked to stop before it was complete.
enum class SequenceEnd { Completed, Interrupted };

// Opens the devices of a sequence all at once, each within the network's connect time limit,
// and begins the sequence in their records: a device that cannot be opened is NotOpened there,
// with why. Interrupted when the user asked to stop first (which the log tells).
SequenceEnd OpenDevices(const DeviceRecords& devices, const NetworkOptions& network, SyncLog& log,
                        const platform::Interruption& interruption);

// One sequence on devices opened already: plans it, writes each frame to every device at its
// instant (FrameWriters.h), and lets the devices go again, so that they are free between runs.
// Each device's seconds frame reaches its line at the same top of a second (less its own
// latency); a device that fails is dropped from the rest of the sequence and does not hold up
// the others. Each device set is told on the log; failures are kept in the devices' records for
// the caller to tell.
class SequenceRun {
public:
    SequenceRun(bool align, SyncLog& log, const platform::Interruption& interruption)
        : m_align(align), m_log(log), m_interruption(interruption) {}

    // The sequence in `time` (TimeBase.h). `reason`, when not empty, is why it runs ("port back");
    // each device set is told with it. Aligned, the devices take the time at `setAt` when it is
    // given and can still be reached (a zone's change of offset), or at the first top of a second
    // that can be. A device without a link failed to open, and its record says so already.
    SequenceEnd Send(const DeviceRecords& devices, const std::string& reason, const TimeBase& time,
                     std::optional<std::int64_t> setAt = std::nullopt);

private:
    const bool m_align;
    SyncLog& m_log;
    const platform::Interruption& m_interruption;
};

} // namespace kalvor_sync

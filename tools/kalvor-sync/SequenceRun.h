#pragma once

#include "SyncLog.h"
#include "platform/DeadlineTimer.h"
#include "platform/Interruption.h"
#include "platform/PortName.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kalvor_sync {

// How a sequence went on one port, from best to worst (the exit status is the worst of them).
enum class PortOutcome { Sent, NotOpened, SendFailed };

struct PortResult {
    PortOutcome outcome = PortOutcome::Sent;
    // What went wrong, in plain words naming the port, in the order it was met.
    std::vector<std::string> errors;
};

struct SequenceResult {
    bool interrupted = false;      // Ctrl-C came before the sequence was complete
    std::vector<PortResult> ports; // one per port asked for, in the same order
};

// One aligned sequence on one or several ports at once, start to end: opens them, plans the
// sequence once, hands each frame to every port at its instant and closes them again, so that
// they are free between runs. Each port's seconds frame reaches its line at the same instant;
// a port that fails is dropped from the rest of the sequence and does not stop the others.
// Each device set is told on the log; failures are returned for the caller to tell.
class SequenceRun {
public:
    SequenceRun(bool align, std::int64_t latencyMicroseconds, SyncLog& log,
                const platform::Interruption& interruption, platform::DeadlineTimer& timer)
        : m_align(align), m_latencyMicroseconds(latencyMicroseconds), m_log(log),
          m_interruption(interruption), m_timer(timer) {}

    // `reason`, when not empty, is why this sequence runs ("port back"); each device set is told
    // with it.
    SequenceResult Once(const std::vector<platform::PortName>& ports,
                        const std::string& reason = {});

private:
    const bool m_align;
    const std::int64_t m_latencyMicroseconds;
    SyncLog& m_log;
    const platform::Interruption& m_interruption;
    platform::DeadlineTimer& m_timer;
};

} // namespace kalvor_sync

#pragma once

#include "SyncLog.h"
#include "platform/DeadlineTimer.h"
#include "platform/Interruption.h"
#include "platform/PortName.h"

#include <cstdint>

namespace kalvor_sync {

enum class RunOutcome { Sent, NotOpened, SendFailed, Interrupted };

// One sequence on the port, start to end: opens it, plans the sequence, hands each frame to the
// port at its instant and closes the port again, so that it is free between runs. Failures are
// told on the log as they happen.
class SyncRun {
public:
    SyncRun(const platform::PortName& port, bool align, std::int64_t latencyMicroseconds,
            SyncLog& log, const platform::Interruption& interruption,
            platform::DeadlineTimer& timer)
        : m_port(port), m_align(align), m_latencyMicroseconds(latencyMicroseconds), m_log(log),
          m_interruption(interruption), m_timer(timer) {}

    RunOutcome Once();

private:
    const platform::PortName m_port;
    const bool m_align;
    const std::int64_t m_latencyMicroseconds;
    SyncLog& m_log;
    const platform::Interruption& m_interruption;
    platform::DeadlineTimer& m_timer;
};

} // namespace kalvor_sync

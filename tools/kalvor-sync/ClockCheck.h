#pragma once

#include "SyncLog.h"
#include "platform/ClockSync.h"

#include <functional>

namespace kalvor_sync {

// Asks, before each sequence, whether the computer's clock is kept to a time source: a device
// set from a clock that drifts is set wrong. Tells the user once per run when it is not (or that
// cannot be told); with --verbose tells the state before every sequence.
class ClockCheck {
public:
    // Reads the state; platform::ReadClockSyncState, or a stand-in in tests.
    using Reader = std::function<platform::ClockSyncState()>;

    ClockCheck(Reader reader, bool requireSynced, SyncLog& log)
        : m_reader(std::move(reader)), m_requireSynced(requireSynced), m_log(log) {}

    // True when the sequence may go; false when --require-synced refuses it (told on the log).
    bool BeforeSequence();

private:
    Reader m_reader;
    const bool m_requireSynced;
    SyncLog& m_log;
    bool m_warned = false;
};

// "0.512 ms", "16.0 s": an error estimate as people read it.
std::string ErrorEstimateText(std::int64_t microseconds);

} // namespace kalvor_sync

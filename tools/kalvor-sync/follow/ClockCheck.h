#pragma once

#include "platform/ClockSync.h"
#include "tools/kalvor-sync/log/SyncLog.h"

#include <functional>

namespace kalvor_sync {

// Asks, before each sequence, whether the computer's clock is kept to a time source: a device
// set from a clock that drifts is set wrong. Tells the user once per run when it is not (or that
// cannot be told); with --verbose tells the state before every sequence.
//
// With --require-synced a clock not known to be synchronised holds every sequence back. A run
// that sets the devices once refuses, told each time; a run that follows the clock (--every)
// waits for it instead, told once when it starts waiting and once when the clock is synchronised.
class ClockCheck {
public:
    // Reads the state; platform::ReadClockSyncState, or a stand-in in tests.
    using Reader = std::function<platform::ClockSyncState()>;

    ClockCheck(Reader reader, bool requireSynced, bool following, SyncLog& log)
        : m_reader(std::move(reader)), m_requireSynced(requireSynced), m_following(following),
          m_log(log) {}

    // True when the sequence may go; false when --require-synced holds it back.
    bool BeforeSequence();

    // The state the last BeforeSequence read.
    const platform::ClockSyncState& LastState() const { return m_last; }

private:
    Reader m_reader;
    const bool m_requireSynced;
    const bool m_following;
    SyncLog& m_log;
    platform::ClockSyncState m_last;
    bool m_warned = false;  // the warning of a clock not known to be synchronised was given
    bool m_waiting = false; // following, held back, and that was told
};

} // namespace kalvor_sync

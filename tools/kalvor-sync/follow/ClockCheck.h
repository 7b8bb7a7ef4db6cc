#pragma once

#include "platform/ClockSync.h"
#include "tools/kalvor-sync/log/SyncLog.h"
#include "tools/kalvor-sync/reference/TimeReference.h"
#include "tools/kalvor-sync/sequence/TimeBase.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace kalvor_sync {

// Asks, before each sequence, which time the devices get, and whether it is good enough.
//
// Without a time reference they get the computer's clock, and what counts is whether it is kept
// to a time source: a device set from a clock that drifts is set wrong. The user is told once per
// run when it is not (or that cannot be told); with --verbose, the state before every sequence.
//
// With a time reference (--ntp-server) they get true time, whatever the computer's clock says,
// while the reference tells it: synchronised, or in holdover. Unsynchronised, the devices get the
// computer's clock, told once, until the reference tells the time again.
//
// With --require-synced a clock not known to be synchronised, or a reference unsynchronised or in
// holdover with an error bound past --max-error, holds every sequence back. A run that sets the
// devices once refuses, told each time; a run that follows the clock (--every) waits instead,
// told once when it starts waiting and once when it may go on.
class ClockCheck {
public:
    // Reads the computer clock's state; platform::ReadClockSyncState, or a stand-in in tests.
    using Reader = std::function<platform::ClockSyncState()>;

    ClockCheck(Reader reader, bool requireSynced, bool following, SyncLog& log,
               const reference::TimeReference* reference = nullptr,
               std::int64_t maxErrorMicroseconds = 0)
        : m_reader(std::move(reader)), m_requireSynced(requireSynced), m_following(following),
          m_log(log), m_reference(reference), m_maxErrorMicroseconds(maxErrorMicroseconds) {}

    // True when the sequence may go, in Time(); false when --require-synced holds it back, for
    // HeldBackBecause().
    bool BeforeSequence();

    // The time the sequence goes with, as the last BeforeSequence chose it.
    const TimeBase& Time() const { return *m_time; }
    // Why the last BeforeSequence held the sequence back, in one sentence.
    const std::string& HeldBackBecause() const { return m_heldBack; }
    // The computer clock's state, and the reference's, as the last BeforeSequence read them.
    const platform::ClockSyncState& LastState() const { return m_last; }
    const std::optional<reference::ReferenceReport>& LastReference() const {
        return m_lastReference;
    }

private:
    // The same, with a time reference.
    bool WithReference();
    // The sequence held back: told as --require-synced and --every say.
    bool HoldBack(const std::string& sentence);
    // It may go (again): a wait for the clock is over.
    bool Go(std::unique_ptr<TimeBase> time);

    Reader m_reader;
    const bool m_requireSynced;
    const bool m_following;
    SyncLog& m_log;
    const reference::TimeReference* m_reference;
    const std::int64_t m_maxErrorMicroseconds;
    platform::ClockSyncState m_last;
    std::optional<reference::ReferenceReport> m_lastReference;
    std::unique_ptr<TimeBase> m_time = std::make_unique<ComputerTime>();
    std::string m_heldBack;
    bool m_warned = false;  // the warning of a clock not known to be synchronised was given
    bool m_waiting = false; // following, held back, and that was told
};

} // namespace kalvor_sync

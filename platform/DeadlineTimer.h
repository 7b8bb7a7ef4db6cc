#pragma once

#include "platform/Interruption.h"

#include <cstdint>
#include <memory>

namespace platform {

enum class DeadlineWait { Reached, Interrupted, Failed };

// The clock a timer's deadlines are instants of: the computer's wall clock
// (platform/SystemClock.h), or the monotonic clock (platform/MonotonicClock.h), which a step of
// the wall clock does not move.
enum class DeadlineClock { Wall, Monotonic };

// Waits for instants of its clock, aimed at a fraction of a millisecond: the deadline is
// absolute, so a wait that starts late still ends on time, and one on the wall clock that spans a
// change of the clock ends when the clock reads the deadline. POSIX: a timer on CLOCK_REALTIME or
// CLOCK_MONOTONIC set to the absolute deadline. Win32: a waitable timer due a little early (at
// the absolute time on the wall clock, after the time left on the monotonic one), then a short
// yield-loop on the clock for the rest.
class DeadlineTimer {
public:
    explicit DeadlineTimer(DeadlineClock clock = DeadlineClock::Wall);
    ~DeadlineTimer();
    DeadlineTimer(const DeadlineTimer&) = delete;
    DeadlineTimer& operator=(const DeadlineTimer&) = delete;

    // False when the system gave no timer (the system's error tells why).
    bool Ready() const;
    DeadlineClock Clock() const { return m_clock; }

    // Blocks until the clock reads `deadline` (microseconds, as SystemClockMicroseconds or
    // MonotonicMicroseconds read it), or the user asks to stop. A deadline already past returns at
    // once.
    DeadlineWait WaitUntil(std::int64_t deadline, const Interruption& interruption);

private:
    // The backend's owner of the timer descriptor (POSIX) or waitable-timer handle (Win32), and
    // its clock.
    struct Owned;
    std::unique_ptr<Owned> m_owned;
    DeadlineClock m_clock;
};

// Makes the system's timers fine-grained while it lives, for a time-critical stretch only, since
// a finer timer costs the whole machine power. Win32: a 1 ms timer period (timeBeginPeriod);
// POSIX timers are fine-grained already.
class FineTimerResolution {
public:
    FineTimerResolution();
    ~FineTimerResolution();
    FineTimerResolution(const FineTimerResolution&) = delete;
    FineTimerResolution& operator=(const FineTimerResolution&) = delete;

private:
    bool m_raised = false;
};

} // namespace platform

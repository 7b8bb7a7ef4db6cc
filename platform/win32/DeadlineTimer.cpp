#include "platform/DeadlineTimer.h"

#include "platform/MonotonicClock.h"
#include "platform/SystemClock.h"
#include "platform/win32/UniqueHandle.h"
#include "platform/win32/WindowsTime.h"

#include <windows.h>
// mmsystem.h builds on the types of windows.h.
#include <mmsystem.h>

namespace platform {

namespace {

// A waitable timer wakes on the timer tick (1 ms at best), so it is set this much before the
// deadline and the rest is spent yielding the processor until the clock reads the deadline.
constexpr std::int64_t kYieldStretchMicroseconds = 1500;

} // namespace

struct DeadlineTimer::Owned {
    UniqueHandle timer;
    DeadlineClock clock;

    std::int64_t Now() const {
        return clock == DeadlineClock::Monotonic ? MonotonicMicroseconds()
                                                 : SystemClockMicroseconds();
    }
};

DeadlineTimer::DeadlineTimer(DeadlineClock clock)
    : m_owned(std::make_unique<Owned>(
          Owned{UniqueHandle(::CreateWaitableTimerA(nullptr, TRUE, nullptr)), clock})),
      m_clock(clock) {}

DeadlineTimer::~DeadlineTimer() = default;

bool DeadlineTimer::Ready() const {
    return m_owned->timer.Valid();
}

DeadlineWait DeadlineTimer::WaitUntil(std::int64_t deadline, const Interruption& interruption) {
    const HANDLE timer = m_owned->timer.Get();
    const auto interrupt = reinterpret_cast<HANDLE>(interruption.Native());
    for (;;) {
        if (interruption.Requested()) {
            return DeadlineWait::Interrupted;
        }
        const std::int64_t left = deadline - m_owned->Now();
        if (left <= 0) {
            return DeadlineWait::Reached;
        }
        if (left <= kYieldStretchMicroseconds) {
            ::Sleep(0);
            continue;
        }
        if (!Ready() || interrupt == nullptr) {
            return DeadlineWait::Failed;
        }
        // A positive due time is absolute, on the system clock, so a change of the clock
        // during a long wait moves the wake-up with it; a negative one is the time left, which
        // the system counts on its interrupt time, as the monotonic clock counts.
        LARGE_INTEGER due;
        due.QuadPart = m_owned->clock == DeadlineClock::Monotonic
                           ? -(left - kYieldStretchMicroseconds) * 10
                           : (deadline - kYieldStretchMicroseconds) * 10 + kFileTimeAt1970;
        if (!::SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE)) {
            return DeadlineWait::Failed;
        }
        const HANDLE handles[2] = {interrupt, timer};
        const DWORD woken = ::WaitForMultipleObjects(2, handles, FALSE, INFINITE);
        if (woken == WAIT_OBJECT_0) {
            return DeadlineWait::Interrupted;
        }
        if (woken != WAIT_OBJECT_0 + 1) {
            return DeadlineWait::Failed;
        }
    }
}

FineTimerResolution::FineTimerResolution() : m_raised(::timeBeginPeriod(1) == TIMERR_NOERROR) {}

FineTimerResolution::~FineTimerResolution() {
    if (m_raised) {
        ::timeEndPeriod(1);
    }
}

} // namespace platform

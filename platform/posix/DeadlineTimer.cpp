#include "platform/DeadlineTimer.h"

#include "platform/MonotonicClock.h"
#include "platform/posix/UniqueFd.h"

#include <cerrno>
#include <cstdint>
#include <poll.h>
#include <sys/timerfd.h>
#include <unistd.h>

namespace platform {

// A timerfd on CLOCK_REALTIME (or CLOCK_MONOTONIC, which MonotonicClock.cpp reads) armed with the
// absolute deadline: it fires when the clock reads it, even if the wall clock is set meanwhile,
// and, unlike clock_nanosleep, it can be waited for together with the interruption's event, so a
// Ctrl-C that comes just before the wait is never missed.

struct DeadlineTimer::Owned {
    UniqueFd timer;
};

DeadlineTimer::DeadlineTimer(DeadlineClock clock)
    : m_owned(std::make_unique<Owned>(Owned{UniqueFd(
          ::timerfd_create(clock == DeadlineClock::Monotonic ? CLOCK_MONOTONIC : CLOCK_REALTIME,
                           TFD_NONBLOCK | TFD_CLOEXEC))})),
      m_clock(clock) {}

DeadlineTimer::~DeadlineTimer() = default;

bool DeadlineTimer::Ready() const {
    return m_owned->timer.Valid();
}

namespace {

itimerspec Due(std::int64_t microseconds) {
    itimerspec due{};
    std::int64_t seconds = microseconds / 1'000'000;
    std::int64_t micros = microseconds % 1'000'000;
    if (micros < 0) {
        --seconds;
        micros += 1'000'000;
    }
    due.it_value.tv_sec = static_cast<time_t>(seconds);
    due.it_value.tv_nsec = static_cast<long>(micros * 1000);
    if (due.it_value.tv_sec <= 0 && due.it_value.tv_nsec == 0) {
        due.it_value.tv_nsec = 1; // all zero would disarm the timer instead
    }
    return due;
}

} // namespace

DeadlineWait DeadlineTimer::WaitUntil(std::int64_t deadline, const Interruption& interruption) {
    if (interruption.Requested()) {
        return DeadlineWait::Interrupted;
    }
    if (!Ready()) {
        return DeadlineWait::Failed;
    }
    const int timer = m_owned->timer.Get();
    // The wall clock's deadline is absolute, so that setting the clock moves the wake-up. The
    // monotonic one is armed as the time left and looked at again on waking: the same on any
    // kernel, and what a program that fakes the wall clock for a test (libfaketime, which moves
    // absolute deadlines of every clock) leaves alone.
    const bool monotonic = m_clock == DeadlineClock::Monotonic;
    for (;;) {
        const std::int64_t left = monotonic ? deadline - MonotonicMicroseconds() : 0;
        if (monotonic && left <= 0) {
            return DeadlineWait::Reached;
        }
        const itimerspec due = Due(monotonic ? left : deadline);
        if (::timerfd_settime(timer, monotonic ? 0 : TFD_TIMER_ABSTIME, &due, nullptr) != 0) {
            return DeadlineWait::Failed;
        }
        pollfd watched[2] = {{static_cast<int>(interruption.Native()), POLLIN, 0},
                             {timer, POLLIN, 0}};
        const int ready = ::poll(watched, 2, -1);
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready < 0) {
            return DeadlineWait::Failed;
        }
        if ((watched[0].revents & POLLIN) != 0 || interruption.Requested()) {
            return DeadlineWait::Interrupted;
        }
        if ((watched[1].revents & POLLIN) != 0) {
            std::uint64_t expirations = 0;
            [[maybe_unused]] auto read = ::read(timer, &expirations, sizeof expirations);
            if (!monotonic) {
                return DeadlineWait::Reached;
            }
        }
    }
}

FineTimerResolution::FineTimerResolution() = default;
FineTimerResolution::~FineTimerResolution() = default;

} // namespace platform

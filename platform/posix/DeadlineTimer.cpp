#include "platform/DeadlineTimer.h"

#include "platform/posix/UniqueFd.h"

#include <cerrno>
#include <cstdint>
#include <poll.h>
#include <sys/timerfd.h>
#include <unistd.h>

namespace platform {

// A timerfd on CLOCK_REALTIME armed with the absolute deadline: it fires when the clock reads it,
// even if the clock is set meanwhile, and, unlike clock_nanosleep, it can be waited for together
// with the interruption's event, so a Ctrl-C that comes just before the wait is never missed.

struct DeadlineTimer::Owned {
    UniqueFd timer;
};

DeadlineTimer::DeadlineTimer()
    : m_owned(std::make_unique<Owned>(
          Owned{UniqueFd(::timerfd_create(CLOCK_REALTIME, TFD_NONBLOCK | TFD_CLOEXEC))})) {}

DeadlineTimer::~DeadlineTimer() = default;

bool DeadlineTimer::Ready() const {
    return m_owned->timer.Valid();
}

DeadlineWait DeadlineTimer::WaitUntil(std::int64_t deadline, const Interruption& interruption) {
    if (interruption.Requested()) {
        return DeadlineWait::Interrupted;
    }
    if (!Ready()) {
        return DeadlineWait::Failed;
    }
    const int timer = m_owned->timer.Get();
    itimerspec due{};
    std::int64_t seconds = deadline / 1'000'000;
    std::int64_t micros = deadline % 1'000'000;
    if (micros < 0) {
        --seconds;
        micros += 1'000'000;
    }
    due.it_value.tv_sec = static_cast<time_t>(seconds);
    due.it_value.tv_nsec = static_cast<long>(micros * 1000);
    if (due.it_value.tv_sec <= 0 && due.it_value.tv_nsec == 0) {
        due.it_value.tv_nsec = 1; // all zero would disarm the timer instead
    }
    if (::timerfd_settime(timer, TFD_TIMER_ABSTIME, &due, nullptr) != 0) {
        return DeadlineWait::Failed;
    }
    for (;;) {
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
            return DeadlineWait::Reached;
        }
    }
}

FineTimerResolution::FineTimerResolution() = default;
FineTimerResolution::~FineTimerResolution() = default;

} // namespace platform

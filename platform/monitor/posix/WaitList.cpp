#include "platform/monitor/WaitList.h"

#include <cerrno>
#include <poll.h>

namespace platform {

namespace {

pollfd Watch(std::intptr_t fd) {
    return {static_cast<int>(fd), POLLIN, 0};
}

// poll() until something is ready or the time is up, starting again after a signal.
int PollFor(pollfd* fds, nfds_t count, int timeoutMs) {
    int ready;
    do {
        ready = ::poll(fds, count, timeoutMs);
    } while (ready < 0 && errno == EINTR);
    return ready;
}

} // namespace

WakeUp WaitList::Wait() const {
    // A negative descriptor is skipped by poll(): no armed port wait, no port event.
    pollfd fds[3] = {Watch(m_stop->Native()), Watch(m_port->WatchedPort()),
                     Watch(m_send->Native())};
    if (PollFor(fds, 3, -1) < 0) {
        return WakeUp::Failed;
    }
    if (fds[0].revents != 0) {
        return WakeUp::Stop;
    }
    // The port counts as signalled when it is readable, hung up or in error: the event wait has
    // ended either way, and EventWaitSucceeded() tells which.
    if (fds[1].revents != 0) {
        return WakeUp::PortEvent;
    }
    return fds[2].revents != 0 ? WakeUp::Send : WakeUp::Failed;
}

WakeUp WaitList::Pause(int timeoutMs) const {
    pollfd fds[2] = {Watch(m_stop->Native()), Watch(m_send->Native())};
    const int ready = PollFor(fds, 2, timeoutMs);
    if (ready < 0) {
        return WakeUp::Failed;
    }
    if (ready == 0) {
        return WakeUp::TimedOut;
    }
    return fds[0].revents != 0 ? WakeUp::Stop : WakeUp::Send;
}

} // namespace platform

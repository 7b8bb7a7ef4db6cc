#include "platform/Interruption.h"

#include "platform/posix/UniqueFd.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace platform {

namespace {

// Written by the signal handler and by Request(), on any thread; an eventfd never reset, so
// that every later wait sees the request too. g_event is the descriptor the living Interruption
// owns, published for the signal handler, which can reach nothing else.
std::atomic<bool> g_requested{false};
std::atomic<StopCause> g_cause{StopCause::None}; // the first request's
std::atomic<int> g_event{-1};

constexpr int kSignals[] = {SIGINT, SIGTERM};
struct sigaction g_previous[2];

void NoteRequest(StopCause cause) {
    StopCause none = StopCause::None;
    g_cause.compare_exchange_strong(none, cause);
    g_requested = true;
    const int fd = g_event;
    if (fd >= 0) {
        const std::uint64_t one = 1;
        // write() is safe in a signal handler; a full counter is still readable.
        [[maybe_unused]] auto written = ::write(fd, &one, sizeof one);
    }
}

static_assert(std::atomic<StopCause>::is_always_lock_free, "set from a signal handler");

extern "C" void OnStopSignal(int signal) {
    const int savedErrno = errno;
    NoteRequest(signal == SIGTERM ? StopCause::Terminate : StopCause::User);
    errno = savedErrno;
}

} // namespace

struct Interruption::Owned {
    UniqueFd event;
};

Interruption::Interruption()
    : m_owned(std::make_unique<Owned>(Owned{UniqueFd(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC))})) {
    g_requested = false;
    g_cause = StopCause::None;
    g_event = m_owned->event.Get();
    struct sigaction action {};
    action.sa_handler = &OnStopSignal;
    sigemptyset(&action.sa_mask);
    for (int i = 0; i < 2; ++i) {
        ::sigaction(kSignals[i], &action, &g_previous[i]);
    }
}

Interruption::~Interruption() {
    for (int i = 0; i < 2; ++i) {
        ::sigaction(kSignals[i], &g_previous[i], nullptr);
    }
    g_event = -1;
}

bool Interruption::Requested() const {
    return g_requested;
}

StopCause Interruption::Cause() const {
    return g_cause;
}

void Interruption::Request() {
    NoteRequest(StopCause::User);
}

bool Interruption::WaitFor(int milliseconds) const {
    pollfd watched{m_owned->event.Get(), POLLIN, 0};
    // A signal that interrupts poll() is the request itself, or one this wait does not care for.
    ::poll(&watched, 1, milliseconds);
    return Requested();
}

std::intptr_t Interruption::Native() const {
    return m_owned->event.Get();
}

} // namespace platform

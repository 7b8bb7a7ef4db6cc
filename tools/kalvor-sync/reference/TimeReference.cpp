#include "TimeReference.h"

#include <algorithm>
#include <system_error>

namespace kalvor_sync::reference {

// Look-ups of names run on threads of their own, since the system's resolver keeps no time limit
// a stop could cut short; each leaves its result here and wakes the reference's thread, which may
// be gone by then.
struct TimeReference::LookUps {
    std::mutex mutex;
    std::vector<std::pair<std::size_t, platform::Resolution>> done; // under mutex
};

TimeReference::TimeReference(std::vector<ServerAddress> servers, Options options, Seams seams)
    : m_seams(std::move(seams)),
      m_core(std::move(servers), options, m_seams.monotonicMicroseconds(),
             m_seams.wallMicroseconds()),
      m_lookUps(std::make_shared<LookUps>()) {
    try {
        m_thread = std::thread(&TimeReference::Run, this);
    } catch (const std::system_error& error) {
        m_failure = "cannot start the time reference's thread: " + error.code().message();
    }
}

TimeReference::~TimeReference() {
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_seams.transport->Wake();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

void TimeReference::StartLookUp(std::size_t server) {
    m_core.LookUpStarted(server);
    try {
        std::thread([lookUps = m_lookUps, lookUp = m_seams.lookUp, transport = m_seams.transport,
                     address = m_core.Server(server), server] {
            platform::Resolution resolution = lookUp(address);
            {
                const std::lock_guard lock(lookUps->mutex);
                lookUps->done.emplace_back(server, std::move(resolution));
            }
            transport->Wake();
        }).detach();
    } catch (const std::system_error& error) {
        m_core.TakeAddresses(server, {{}, "cannot start the look-up: " + error.code().message()},
                             m_seams.monotonicMicroseconds());
    }
}

void TimeReference::SendDue(std::int64_t now) {
    std::unique_lock lock(m_mutex);
    for (const std::size_t server : m_core.Due(now)) {
        if (m_core.NeedsAddresses(server)) {
            StartLookUp(server);
            continue;
        }
        const Request request = m_core.NewRequest(server, m_seams.random());
        const platform::SocketAddress to = m_core.Destination(server);
        lock.unlock();
        std::string failure;
        const std::int64_t sentAt = m_seams.monotonicMicroseconds();
        const bool sent = m_seams.transport->Send(to, request, failure);
        lock.lock();
        m_core.Sent(server, sentAt, sent, failure);
    }
    // A request left unanswered may end the synced state (holdover): said at once.
    m_core.Evaluate(m_seams.monotonicMicroseconds());
}

void TimeReference::Run() {
    Transport& transport = *m_seams.transport;
    for (;;) {
        {
            const std::lock_guard lock(m_mutex);
            if (m_stopping) {
                return;
            }
        }
        SendDue(m_seams.monotonicMicroseconds());
        std::vector<std::pair<std::size_t, platform::Resolution>> found;
        {
            const std::lock_guard lock(m_lookUps->mutex);
            found.swap(m_lookUps->done);
        }
        std::int64_t wake = 0;
        {
            const std::lock_guard lock(m_mutex);
            const std::int64_t now = m_seams.monotonicMicroseconds();
            for (const auto& [server, resolution] : found) {
                m_core.TakeAddresses(server, resolution, now);
            }
            wake = found.empty() ? m_core.NextWake(now) : now;
        }
        transport.WaitUntil(wake);
        const std::vector<Datagram> arrived = transport.Take();
        const std::int64_t now = m_seams.monotonicMicroseconds();
        const std::int64_t wall = m_seams.wallMicroseconds();
        {
            const std::lock_guard lock(m_mutex);
            for (const Datagram& datagram : arrived) {
                m_core.Receive(datagram, now, wall);
            }
            m_core.Evaluate(now);
        }
        m_changed.notify_all();
    }
}

bool TimeReference::WaitUntilUsable(std::chrono::milliseconds limit,
                                    const platform::Interruption& interruption) {
    return WaitFor(limit, interruption, [&](std::int64_t now) { return m_core.BurstsOver(now); });
}

bool TimeReference::WaitUntilHeard(std::chrono::milliseconds limit,
                                   const platform::Interruption& interruption) {
    return WaitFor(limit, interruption,
                   [&](std::int64_t now) { return m_core.EveryServerHeard(now); });
}

bool TimeReference::WaitFor(std::chrono::milliseconds limit,
                            const platform::Interruption& interruption,
                            const std::function<bool(std::int64_t)>& over) {
    // Steps short enough that a request to stop is seen at once.
    constexpr std::chrono::milliseconds kLook{50};
    const auto deadline = std::chrono::steady_clock::now() + limit;
    std::unique_lock lock(m_mutex);
    for (;;) {
        const bool done = over(m_seams.monotonicMicroseconds());
        const auto left = deadline - std::chrono::steady_clock::now();
        if (done || left <= left.zero() || interruption.Requested() || !m_failure.empty()) {
            return m_core.State() != ReferenceState::Unsynced;
        }
        m_changed.wait_for(lock, std::min<std::chrono::steady_clock::duration>(left, kLook));
    }
}

std::optional<TrueTime> TimeReference::TrueTimeAt(std::int64_t monotonicMicroseconds) const {
    const std::lock_guard lock(m_mutex);
    return m_core.TrueTimeAt(monotonicMicroseconds);
}

std::optional<std::int64_t> TimeReference::MonotonicAt(std::int64_t trueMicroseconds) const {
    const std::lock_guard lock(m_mutex);
    return m_core.MonotonicAt(trueMicroseconds);
}

ReferenceReport TimeReference::Report() const {
    const std::lock_guard lock(m_mutex);
    ReferenceReport report =
        m_core.Report(m_seams.monotonicMicroseconds(), m_seams.wallMicroseconds());
    report.failure = m_failure;
    return report;
}

} // namespace kalvor_sync::reference

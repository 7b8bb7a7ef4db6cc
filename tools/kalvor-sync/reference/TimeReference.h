#pragma once

#include "ReferenceCore.h"
#include "ReferenceReport.h"
#include "Seams.h"
#include "ServerAddress.h"
#include "platform/Interruption.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace kalvor_sync::reference {

// The computer's own time reference: a thread that asks the NTP servers, reads their answers and
// keeps the clock model (ReferenceCore), which the rest of the program reads under a lock. True
// time is told against the monotonic clock, so that steps of the computer's wall clock do no harm:
//   TimeReference reference(servers, Options{}, PlatformSeams());
//   reference.WaitUntilUsable(std::chrono::seconds(10), interruption); // the start burst, ~6 s
//   const auto now = reference.TrueTimeAt(platform::MonotonicMicroseconds());
//   const auto when = reference.MonotonicAt(nextSecond); // when to send a frame
class TimeReference {
public:
    TimeReference(std::vector<ServerAddress> servers, Options options, Seams seams);
    ~TimeReference(); // stops the thread promptly (a look-up of a name may finish alone)
    TimeReference(const TimeReference&) = delete;
    TimeReference& operator=(const TimeReference&) = delete;

    // Waits (up to `limit`, or until interrupted) for the start burst to be over: true when the
    // reference then tells the time.
    bool WaitUntilUsable(std::chrono::milliseconds limit,
                         const platform::Interruption& interruption);
    // The same, but only until every server has answered once (or its burst ended unanswered):
    // what a single run waits for, so that a reference on the LAN costs it milliseconds, not the
    // burst's seconds.
    bool WaitUntilHeard(std::chrono::milliseconds limit,
                        const platform::Interruption& interruption);
    // True time (microseconds since 1970 UTC) at a monotonic reading, with its error bound;
    // nothing while unsynced. And the reverse: the monotonic reading at which true time reads `t`.
    std::optional<TrueTime> TrueTimeAt(std::int64_t monotonicMicroseconds) const;
    std::optional<std::int64_t> MonotonicAt(std::int64_t trueMicroseconds) const;
    ReferenceReport Report() const;

private:
    struct LookUps;
    // Waits under the lock until `over` says so at a monotonic reading (or the limit, or a stop).
    bool WaitFor(std::chrono::milliseconds limit, const platform::Interruption& interruption,
                 const std::function<bool(std::int64_t)>& over);
    void Run();
    void StartLookUp(std::size_t server);
    void SendDue(std::int64_t now);

    Seams m_seams;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    ReferenceCore m_core;    // under m_mutex
    bool m_stopping = false; // under m_mutex
    std::string m_failure;   // why the thread could not start
    std::shared_ptr<LookUps> m_lookUps;
    std::thread m_thread;
};

} // namespace kalvor_sync::reference

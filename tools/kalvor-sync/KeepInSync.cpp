#include "KeepInSync.h"

#include "ClockChange.h"
#include "CommandLine.h"

namespace kalvor_sync {

std::optional<int> KeepInSync::Sequence(const platform::PortName* only, const std::string& reason) {
    if (!m_check.BeforeSequence()) {
        return kExitClockNotSynced;
    }
    std::vector<platform::PortName> ports;
    std::vector<std::size_t> indexes;
    for (std::size_t i = 0; i < m_ports.size(); ++i) {
        if (only == nullptr || only == &m_ports[i]) {
            ports.push_back(m_ports[i]);
            indexes.push_back(i);
        }
    }
    const SequenceResult result = m_run.Once(ports, reason);
    for (std::size_t k = 0; k < result.ports.size(); ++k) {
        const std::size_t i = indexes[k];
        const PortResult& port = result.ports[k];
        if (port.outcome == PortOutcome::Sent) {
            if (m_failing[i]) {
                m_log.Error(m_ports[i].label + " is back");
            }
            m_failing[i] = false;
        } else if (!m_failing[i]) {
            // Once when it goes; the tries while it is gone are quiet.
            for (const std::string& error : port.errors) {
                m_log.Error(error);
            }
            m_log.Error(m_ports[i].label + ": trying it again every " +
                        std::to_string(kPortRetryMilliseconds) + " ms until it is back");
            m_failing[i] = true;
        }
    }
    return result.interrupted ? std::optional<int>(kExitInterrupted) : std::nullopt;
}

int KeepInSync::Run() {
    // The period is kept on the monotonic clock, so that steps of the wall clock move nothing.
    platform::ClockReadings last = platform::ReadClocks();
    std::int64_t nextRun = last.monotonicMicroseconds;
    std::int64_t nextRetry = last.monotonicMicroseconds;
    bool runAll = true;
    std::string reason;
    for (;;) {
        if (runAll) {
            runAll = false;
            if (const std::optional<int> end = Sequence(nullptr, reason)) {
                return *end;
            }
            last = platform::ReadClocks();
            // Runs longer than the period skip the runs they overlap.
            while (nextRun <= last.monotonicMicroseconds) {
                nextRun += m_periodMicroseconds;
            }
            nextRetry = last.monotonicMicroseconds + kPortRetryMilliseconds * 1000;
        }

        if (m_interruption.WaitFor(kClockLookMilliseconds)) {
            return kExitSent;
        }
        const platform::ClockReadings now = platform::ReadClocks();
        const std::optional<std::string> change = DescribeClockChange(last, now);
        last = now;
        if (change) {
            reason = *change;
            runAll = true;
            continue;
        }
        if (now.monotonicMicroseconds >= nextRun) {
            reason.clear();
            runAll = true;
            continue;
        }
        if (now.monotonicMicroseconds < nextRetry) {
            continue;
        }
        for (std::size_t i = 0; i < m_ports.size(); ++i) {
            if (!m_failing[i]) {
                continue;
            }
            // The sequence itself is the try: a port still gone fails again, quietly.
            if (const std::optional<int> end = Sequence(&m_ports[i], "port back")) {
                return *end;
            }
        }
        last = platform::ReadClocks();
        nextRetry = last.monotonicMicroseconds + kPortRetryMilliseconds * 1000;
    }
}

} // namespace kalvor_sync

#include "KeepInSync.h"

#include "ClockChange.h"
#include "CommandLine.h"

namespace kalvor_sync {

KeepInSync::Step KeepInSync::Sequence(const platform::PortName* only, const RunReason& reason) {
    if (!m_check.BeforeSequence()) {
        m_reporter.WaitingForClock(m_check.LastState());
        return Step::HeldBack;
    }
    std::vector<platform::PortName> ports;
    std::vector<std::size_t> indexes;
    for (std::size_t i = 0; i < m_ports.size(); ++i) {
        if (only == nullptr || only == &m_ports[i]) {
            ports.push_back(m_ports[i]);
            indexes.push_back(i);
        }
    }
    const SequenceResult result = m_run.Once(ports, reason.words);
    // A try of a device that is gone, which finds it gone still, is no news: the status keeps the
    // failure of the sequence that found it gone, and the counts count sequences, not tries.
    const bool stillGone = only != nullptr && !result.interrupted && result.ports.size() == 1 &&
                           result.ports[0].outcome != PortOutcome::Sent;
    if (!stillGone) {
        m_reporter.SequenceDone(ports, result, reason, m_check.LastState());
    }
    for (std::size_t k = 0; k < result.ports.size(); ++k) {
        const std::size_t i = indexes[k];
        const PortResult& port = result.ports[k];
        if (port.outcome == PortOutcome::Sent) {
            if (m_failing[i]) {
                m_log.Recovery(m_ports[i].label + " is back");
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
    return result.interrupted ? Step::Interrupted : Step::Done;
}

int KeepInSync::Run() {
    // The period is kept on the monotonic clock, so that steps of the wall clock move nothing.
    platform::ClockReadings last = platform::ReadClocks();
    std::int64_t nextRun = last.monotonicMicroseconds;
    std::int64_t nextRetry = last.monotonicMicroseconds;
    std::int64_t nextClockAsk = last.monotonicMicroseconds; // while held back for the clock
    bool runAll = true;
    RunReason reason{RunReason::Kind::Start, ""};
    for (;;) {
        m_reporter.Alive();
        if (runAll && last.monotonicMicroseconds >= nextClockAsk) {
            const Step step = Sequence(nullptr, reason);
            if (step == Step::Interrupted) {
                return kExitInterrupted;
            }
            last = platform::ReadClocks();
            if (step == Step::HeldBack) {
                nextClockAsk = last.monotonicMicroseconds + kClockWaitMilliseconds * 1000;
            } else {
                runAll = false;
                // Runs longer than the period skip the runs they overlap.
                while (nextRun <= last.monotonicMicroseconds) {
                    nextRun += m_periodMicroseconds;
                }
                nextRetry = last.monotonicMicroseconds + kPortRetryMilliseconds * 1000;
            }
        }

        if (m_interruption.WaitFor(kClockLookMilliseconds)) {
            return kExitSent;
        }
        const platform::ClockReadings now = platform::ReadClocks();
        const std::optional<RunReason> change = DescribeClockChange(last, now);
        last = now;
        if (change) {
            reason = *change;
            runAll = true;
            continue;
        }
        if (now.monotonicMicroseconds >= nextRun) {
            // A run held back for the clock keeps the reason it was due for.
            if (!runAll) {
                reason = {RunReason::Kind::Period, ""};
                runAll = true;
            }
            continue;
        }
        if (runAll || now.monotonicMicroseconds < nextRetry) {
            continue;
        }
        for (std::size_t i = 0; i < m_ports.size() && !runAll; ++i) {
            if (!m_failing[i]) {
                continue;
            }
            m_reporter.Alive();
            // The sequence itself is the try: a port still gone fails again, quietly.
            const Step step = Sequence(&m_ports[i], {RunReason::Kind::PortBack, "port back"});
            if (step == Step::Interrupted) {
                return kExitInterrupted;
            }
            if (step == Step::HeldBack) {
                // Once the clock is synchronised every device is set, this one too.
                reason = {RunReason::Kind::PortBack, "port back"};
                runAll = true;
                nextClockAsk =
                    platform::ReadClocks().monotonicMicroseconds + kClockWaitMilliseconds * 1000;
            }
        }
        last = platform::ReadClocks();
        nextRetry = last.monotonicMicroseconds + kPortRetryMilliseconds * 1000;
    }
}

} // namespace kalvor_sync

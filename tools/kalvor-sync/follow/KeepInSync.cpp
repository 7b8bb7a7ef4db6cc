#include "KeepInSync.h"

#include "ClockChange.h"
#include "tools/kalvor-sync/command/CommandLine.h"

namespace kalvor_sync {

namespace {

constexpr std::int64_t kRetryMicroseconds = KeepInSync::kPortRetryMilliseconds * 1000;

std::vector<SyncDevice> Pick(const std::vector<SyncDevice>& devices,
                             const std::vector<std::size_t>& chosen) {
    std::vector<SyncDevice> picked;
    for (const std::size_t i : chosen) {
        picked.push_back(devices[i]);
    }
    return picked;
}

} // namespace

KeepInSync::Step KeepInSync::Sequence(const Chosen& chosen, std::vector<OpenedDevice> opened,
                                      const RunReason& reason) {
    if (!m_check.BeforeSequence()) {
        m_reporter.WaitingForClock(m_check.LastState());
        return Step::HeldBack;
    }
    const std::vector<SyncDevice> devices = Pick(m_devices, chosen);
    const SequenceResult result = opened.empty()
                                      ? m_run.Once(devices, reason.words)
                                      : m_run.Send(std::move(opened), devices, reason.words);
    m_reporter.SequenceDone(devices, result, reason, m_check.LastState());
    if (result.interrupted) {
        return Step::Interrupted;
    }
    Tell(chosen, result);
    return Step::Done;
}

void KeepInSync::Tell(const Chosen& chosen, const SequenceResult& result) {
    const std::int64_t now = platform::ReadClocks().monotonicMicroseconds;
    for (std::size_t k = 0; k < result.ports.size(); ++k) {
        const std::size_t i = chosen[k];
        const PortResult& port = result.ports[k];
        if (port.outcome == PortOutcome::Sent) {
            if (m_failing[i]) {
                m_log.Recovery(m_devices[i].Label() + " is back");
            }
            m_failing[i] = false;
            continue;
        }
        m_nextTry[i] = now + kRetryMicroseconds;
        if (!m_failing[i]) {
            // Once when it goes; the tries while it is gone are quiet.
            for (const std::string& error : port.errors) {
                m_log.Error(error);
            }
            m_log.Error(m_devices[i].Label() + ": trying it again every " +
                        std::to_string(kPortRetryMilliseconds) + " ms until it is back");
            m_failing[i] = true;
        }
    }
}

bool KeepInSync::Wait(int milliseconds) {
    if (!m_tries.Pending()) {
        return m_interruption.WaitFor(milliseconds);
    }
    m_tries.Advance(milliseconds, m_interruption);
    return m_interruption.Requested();
}

bool KeepInSync::Retry(std::int64_t now, bool& setSome) {
    // The tries that ended: the devices that answered are set together, at once.
    Chosen back;
    std::vector<OpenedDevice> opened;
    for (auto& [i, device] : m_tries.TakeEnded()) {
        m_trying[i] = false;
        if (device.link) {
            back.push_back(i);
            opened.push_back(std::move(device));
        } else {
            m_nextTry[i] = now + kRetryMicroseconds; // still gone: quietly, again later
        }
    }
    setSome = !back.empty();
    if (setSome) {
        const Step step =
            Sequence(back, std::move(opened), {RunReason::Kind::PortBack, "port back"});
        if (step == Step::Interrupted) {
            return false;
        }
        now = platform::ReadClocks().monotonicMicroseconds;
        if (step == Step::HeldBack) {
            // Still failing as far as the status goes: tried, and set, again once the clock is.
            for (const std::size_t i : back) {
                m_nextTry[i] = now + kRetryMicroseconds;
            }
        }
    }
    for (std::size_t i = 0; i < m_devices.size(); ++i) {
        if (m_failing[i] && !m_trying[i] && now >= m_nextTry[i]) {
            m_trying[i] = true;
            m_tries.Add(i, m_devices[i]);
        }
    }
    return true;
}

int KeepInSync::Run() {
    // The period is kept on the monotonic clock, so that steps of the wall clock move nothing.
    platform::ClockReadings last = platform::ReadClocks();
    std::int64_t nextRun = last.monotonicMicroseconds;
    std::int64_t nextClockAsk = last.monotonicMicroseconds; // while held back for the clock
    bool runAll = true;
    RunReason reason{RunReason::Kind::Start, ""};
    for (;;) {
        m_reporter.Alive();
        if (runAll && last.monotonicMicroseconds >= nextClockAsk) {
            // The devices that are gone are left to their tries, so that one that never answers
            // does not hold up the others by its connect time limit.
            Chosen answering;
            for (std::size_t i = 0; i < m_devices.size(); ++i) {
                if (!m_failing[i]) {
                    answering.push_back(i);
                }
            }
            Step step = Step::Done;
            if (!answering.empty()) {
                step = Sequence(answering, {}, reason);
            }
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
            }
        }

        if (Wait(kClockLookMilliseconds)) {
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
        bool setSome = false;
        if (!Retry(now.monotonicMicroseconds, setSome)) {
            return kExitInterrupted;
        }
        if (setSome) {
            // The sequence's own time is no pause of the computer.
            last = platform::ReadClocks();
        }
    }
}

} // namespace kalvor_sync

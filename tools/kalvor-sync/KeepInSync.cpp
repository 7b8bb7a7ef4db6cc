#include "KeepInSync.h"

#include "ClockChange.h"
#include "CommandLine.h"

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

std::optional<int> KeepInSync::Sequence(const Chosen& chosen, std::vector<OpenedDevice> opened,
                                        const std::string& reason) {
    if (!m_check.BeforeSequence()) {
        return kExitClockNotSynced;
    }
    const std::vector<SyncDevice> devices = Pick(m_devices, chosen);
    const SequenceResult result = opened.empty() ? m_run.Once(devices, reason)
                                                 : m_run.Send(std::move(opened), devices, reason);
    if (result.interrupted) {
        return kExitInterrupted;
    }
    Tell(chosen, result);
    return std::nullopt;
}

void KeepInSync::Tell(const Chosen& chosen, const SequenceResult& result) {
    const std::int64_t now = platform::ReadClocks().monotonicMicroseconds;
    for (std::size_t k = 0; k < result.ports.size(); ++k) {
        const std::size_t i = chosen[k];
        const PortResult& port = result.ports[k];
        if (port.outcome == PortOutcome::Sent) {
            if (m_failing[i]) {
                m_log.Error(m_devices[i].Label() + " is back");
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

std::optional<int> KeepInSync::Retry(std::int64_t now, bool& setSome) {
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
        if (const std::optional<int> end = Sequence(back, std::move(opened), "port back")) {
            return end;
        }
        now = platform::ReadClocks().monotonicMicroseconds;
    }
    for (std::size_t i = 0; i < m_devices.size(); ++i) {
        if (m_failing[i] && !m_trying[i] && now >= m_nextTry[i]) {
            m_trying[i] = true;
            m_tries.Add(i, m_devices[i]);
        }
    }
    return std::nullopt;
}

int KeepInSync::Run() {
    // The period is kept on the monotonic clock, so that steps of the wall clock move nothing.
    platform::ClockReadings last = platform::ReadClocks();
    std::int64_t nextRun = last.monotonicMicroseconds;
    bool runAll = true;
    std::string reason;
    for (;;) {
        if (runAll) {
            runAll = false;
            // The devices that are gone are left to their tries, so that one that never answers
            // does not hold up the others by its connect time limit.
            Chosen answering;
            for (std::size_t i = 0; i < m_devices.size(); ++i) {
                if (!m_failing[i]) {
                    answering.push_back(i);
                }
            }
            if (!answering.empty()) {
                if (const std::optional<int> end = Sequence(answering, {}, reason)) {
                    return *end;
                }
            }
            last = platform::ReadClocks();
            // Runs longer than the period skip the runs they overlap.
            while (nextRun <= last.monotonicMicroseconds) {
                nextRun += m_periodMicroseconds;
            }
        }

        if (Wait(kClockLookMilliseconds)) {
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
        bool setSome = false;
        if (const std::optional<int> end = Retry(now.monotonicMicroseconds, setSome)) {
            return *end;
        }
        if (setSome) {
            // The sequence's own time is no pause of the computer.
            last = platform::ReadClocks();
        }
    }
}

} // namespace kalvor_sync

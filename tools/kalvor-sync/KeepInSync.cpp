#include "KeepInSync.h"

#include "ClockChange.h"
#include "CommandLine.h"

#include <algorithm>
#include <chrono>

namespace kalvor_sync {

namespace {

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
    for (std::size_t k = 0; k < result.ports.size(); ++k) {
        const std::size_t i = chosen[k];
        const PortResult& port = result.ports[k];
        if (port.outcome == PortOutcome::Sent) {
            if (m_failing[i]) {
                m_log.Error(m_devices[i].Label() + " is back");
            }
            m_failing[i] = false;
        } else if (!m_failing[i]) {
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

void KeepInSync::StartTry() {
    if (m_try) {
        return;
    }
    m_tried.clear();
    for (std::size_t i = 0; i < m_devices.size(); ++i) {
        if (m_failing[i]) {
            m_tried.push_back(i);
        }
    }
    if (!m_tried.empty()) {
        m_try = std::make_unique<DeviceOpening>(Pick(m_devices, m_tried), m_run.Network());
    }
}

bool KeepInSync::Wait(int milliseconds) {
    if (!m_try) {
        return m_interruption.WaitFor(milliseconds);
    }
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              end - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0 || m_try->Advance(static_cast<int>(left), m_interruption)) {
            break;
        }
        if (m_interruption.Requested()) {
            return true;
        }
    }
    return m_interruption.Requested();
}

int KeepInSync::Run() {
    Chosen all(m_devices.size());
    for (std::size_t i = 0; i < all.size(); ++i) {
        all[i] = i;
    }
    // The period is kept on the monotonic clock, so that steps of the wall clock move nothing.
    platform::ClockReadings last = platform::ReadClocks();
    std::int64_t nextRun = last.monotonicMicroseconds;
    std::int64_t nextRetry = last.monotonicMicroseconds;
    bool runAll = true;
    std::string reason;
    for (;;) {
        if (runAll) {
            runAll = false;
            // A run of all devices tries the failed ones too.
            m_try.reset();
            if (const std::optional<int> end = Sequence(all, {}, reason)) {
                return *end;
            }
            last = platform::ReadClocks();
            // Runs longer than the period skip the runs they overlap.
            while (nextRun <= last.monotonicMicroseconds) {
                nextRun += m_periodMicroseconds;
            }
            nextRetry = last.monotonicMicroseconds + kPortRetryMilliseconds * 1000;
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
        if (m_try && m_try->Done()) {
            // The devices that answered are set at once; the others stay failed, quietly.
            std::vector<OpenedDevice> opened = m_try->Take();
            m_try.reset();
            Chosen back;
            std::vector<OpenedDevice> backOpened;
            for (std::size_t k = 0; k < opened.size(); ++k) {
                if (opened[k].link) {
                    back.push_back(m_tried[k]);
                    backOpened.push_back(std::move(opened[k]));
                }
            }
            if (!back.empty()) {
                if (const std::optional<int> end =
                        Sequence(back, std::move(backOpened), "port back")) {
                    return *end;
                }
            }
            last = platform::ReadClocks();
            nextRetry = last.monotonicMicroseconds + kPortRetryMilliseconds * 1000;
        } else if (!m_try && now.monotonicMicroseconds >= nextRetry) {
            StartTry();
        }
    }
}

} // namespace kalvor_sync

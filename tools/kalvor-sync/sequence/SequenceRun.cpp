#include "SequenceRun.h"

#include "ComputerClock.h"
#include "FrameWriters.h"
#include "timeset/SequencePlan.h"
#include "tools/common/InstantText.h"
#include "tools/common/PortErrorWords.h"

#include <algorithm>
#include <chrono>
#include <map>
#include <thread>

namespace kalvor_sync {

namespace {

// How long an opening waits at a time before it looks whether the user asked to stop.
constexpr int kOpeningStepMs = 100;

// One write instant of a sequence: a frame, and the devices whose plan writes it then.
struct Step {
    std::int64_t at = 0;
    int index = 0;
    std::int64_t latency = 0; // the plan it belongs to
};

} // namespace

SequenceResult SequenceRun::Once(const std::vector<SyncDevice>& devices,
                                 const std::string& reason) {
    DeviceOpening opening(m_network);
    for (std::size_t i = 0; i < devices.size(); ++i) {
        opening.Add(i, devices[i]);
    }
    std::vector<OpenedDevice> opened(devices.size());
    for (;;) {
        for (auto& [key, device] : opening.TakeEnded()) {
            opened[key] = std::move(device);
        }
        if (!opening.Pending()) {
            return Send(std::move(opened), devices, reason);
        }
        if (m_interruption.Requested()) {
            m_log.Error("interrupted by " +
                        std::string(platform::StopCauseWords(m_interruption.Cause())) +
                        " before the devices were reached");
            SequenceResult result;
            result.interrupted = true;
            result.ports.assign(devices.size(), PortResult{PortOutcome::NotOpened, {}});
            return result;
        }
        opening.Advance(kOpeningStepMs, m_interruption);
    }
}

SequenceResult SequenceRun::Send(std::vector<OpenedDevice> opened,
                                 const std::vector<SyncDevice>& devices,
                                 const std::string& reason) {
    // Fine timers for this sequence only, not for the wait between runs.
    const platform::FineTimerResolution fineTimers;

    SequenceResult result;
    result.ports.resize(devices.size());
    std::vector<std::unique_ptr<DeviceLink>> links(devices.size());
    const auto fail = [&](std::size_t i, PortOutcome outcome, const std::string& error) {
        if (result.ports[i].outcome == PortOutcome::Sent) {
            result.ports[i].outcome = outcome;
        }
        result.ports[i].errors.push_back(error);
        links[i].reset();
    };
    std::int64_t earliestLatency = 0;
    bool anyOpen = false;
    for (std::size_t i = 0; i < devices.size(); ++i) {
        if (!opened[i].link) {
            fail(i, PortOutcome::NotOpened, opened[i].failure);
            continue;
        }
        links[i] = std::move(opened[i].link);
        earliestLatency = anyOpen ? std::max(earliestLatency, devices[i].latencyMicroseconds)
                                  : devices[i].latencyMicroseconds;
        anyOpen = true;
    }
    if (!anyOpen) {
        return result;
    }

    // One plan per latency. Aligned, they all set their devices at the same top of a second,
    // the one the device that wants its frames earliest can still reach; not aligned, each
    // starts at once.
    const std::int64_t now = platform::SystemClockMicroseconds();
    const std::int64_t alignedAt = ChooseDeviceSetInstant(now, true, earliestLatency);
    std::map<std::int64_t, SequencePlan> plans;
    for (std::size_t i = 0; i < devices.size(); ++i) {
        const std::int64_t latency = devices[i].latencyMicroseconds;
        if (links[i] && !plans.contains(latency)) {
            const std::int64_t setAt =
                m_align ? alignedAt : ChooseDeviceSetInstant(now, false, latency);
            plans.emplace(latency, PlanSequence(setAt, latency, &ComputerLocalTime));
        }
    }
    std::vector<Step> steps;
    for (const auto& [latency, plan] : plans) {
        for (int index = 0; index < kFramesPerSequence; ++index) {
            steps.push_back({plan.m_writeAt[index], index, latency});
        }
    }
    std::stable_sort(steps.begin(), steps.end(),
                     [](const Step& a, const Step& b) { return a.at < b.at; });

    std::size_t open = 0;
    for (const auto& link : links) {
        open += link ? 1 : 0;
    }
    FrameWriters writers(open, m_timer, m_interruption);
    std::vector<FrameTarget> targets;
    std::vector<std::size_t> targetDevices;
    for (std::size_t s = 0; s < steps.size(); ++s) {
        const Step& step = steps[s];
        const TimeFrame& frame = plans.at(step.latency).m_frames[step.index];
        targets.clear();
        targetDevices.clear();
        for (std::size_t i = 0; i < links.size(); ++i) {
            if (links[i] && devices[i].latencyMicroseconds == step.latency) {
                targets.push_back({links[i].get(), false, {}});
                targetDevices.push_back(i);
            }
        }
        // Every device gets the frame at its instant, started on all before any is waited for.
        switch (writers.Write(step.at, frame, targets)) {
        case platform::DeadlineWait::Reached:
            break;
        case platform::DeadlineWait::Interrupted:
            m_log.Error("interrupted by " +
                        std::string(platform::StopCauseWords(m_interruption.Cause())) + " after " +
                        std::to_string(step.index) + " of " + std::to_string(kFramesPerSequence) +
                        " frames" +
                        (step.index > 0 ? ": the devices may hold part of the new time" : ""));
            result.interrupted = true;
            return result;
        case platform::DeadlineWait::Failed: {
            const std::string why = kalvor_tools::LastSystemReason();
            for (std::size_t i = 0; i < links.size(); ++i) {
                if (links[i]) {
                    fail(i, PortOutcome::SendFailed,
                         "cannot wait for the instant of the next frame: " + why);
                }
            }
            return result;
        }
        }
        std::size_t written = 0;
        for (std::size_t k = 0; k < targets.size(); ++k) {
            if (targets[k].written) {
                ++written;
            } else {
                fail(targetDevices[k], PortOutcome::SendFailed, targets[k].error);
            }
        }
        m_log.Frame(ComputerLocalTime(platform::SystemClockMicroseconds()), step.index, frame,
                    written, writers.LastWriteMicroseconds());
        if (std::none_of(links.begin(), links.end(),
                         [](const auto& link) { return link != nullptr; })) {
            return result; // every device failed: no instant is left to wait for
        }
        if (s + 1 < steps.size()) {
            for (const auto& link : links) {
                if (link) {
                    link->Tend();
                }
            }
        }
    }
    // The last frame leaves its line within its 4.17 ms; the pause makes sure of it before the
    // ports close and the connections end, whatever a device server does with a closing client.
    std::this_thread::sleep_for(std::chrono::microseconds(kFramePeriodMicroseconds));
    for (std::size_t i = 0; i < devices.size(); ++i) {
        if (!links[i]) {
            continue;
        }
        const LocalInstant& instant = plans.at(devices[i].latencyMicroseconds).m_instant;
        m_log.DeviceSet("set " + devices[i].Label() + " to " + kalvor_tools::FormatSecond(instant) +
                        " " + kalvor_tools::WeekdayName(instant.m_weekday) +
                        (reason.empty() ? "" : " (" + reason + ")"));
        links[i].reset();
    }
    return result;
}

} // namespace kalvor_sync

#include "SequenceRun.h"

#include "ComputerClock.h"
#include "FrameWriters.h"
#include "timeset/SequencePlan.h"
#include "tools/common/InstantText.h"
#include "tools/common/PortErrorWords.h"
#include "tools/kalvor-sync/links/DeviceOpening.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <map>
#include <thread>
#include <utility>

namespace kalvor_sync {

namespace {

// How long an opening waits at a time before it looks whether the user asked to stop.
constexpr int kOpeningStepMs = 100;

// One write instant of a sequence: a frame, and the devices whose plan writes it then.
// A plan serves the devices of one latency and one zone: they take the same frames at the same
// instants.
using PlanKey = std::pair<std::int64_t, const DeviceZone*>;

PlanKey KeyOf(const DeviceRecord& device) {
    return {device.device.latencyMicroseconds, device.device.zone.get()};
}

struct Step {
    std::int64_t at = 0;
    int index = 0;
    PlanKey plan; // the plan it belongs to
};

} // namespace

SequenceEnd OpenDevices(const DeviceRecords& devices, const NetworkOptions& network, SyncLog& log,
                        const platform::Interruption& interruption) {
    DeviceOpening opening(network);
    for (DeviceRecord* device : devices) {
        device->BeginSequence();
        opening.Add(*device);
    }
    for (;;) {
        for (EndedOpening& ended : opening.TakeEnded()) {
            if (!ended.failure.empty()) {
                ended.record->Fail(PortOutcome::NotOpened, std::move(ended.failure));
            }
        }
        if (!opening.Pending()) {
            return SequenceEnd::Completed;
        }
        if (interruption.Requested()) {
            log.Error("interrupted by " +
                      std::string(platform::StopCauseWords(interruption.Cause())) +
                      " before the devices were reached");
            for (DeviceRecord* device : devices) {
                device->link.reset();
                device->outcome = PortOutcome::NotOpened;
            }
            return SequenceEnd::Interrupted;
        }
        opening.Advance(kOpeningStepMs, interruption);
    }
}

SequenceEnd SequenceRun::Send(const DeviceRecords& devices, const std::string& reason,
                              const TimeBase& time, std::optional<std::int64_t> setAt) {
    // Fine timers for this sequence only, not for the wait between runs.
    const platform::FineTimerResolution fineTimers;

    const auto open = [](const DeviceRecord* device) { return device->link != nullptr; };
    const auto anyOpen = [&] { return std::any_of(devices.begin(), devices.end(), open); };
    if (!anyOpen()) {
        return SequenceEnd::Completed;
    }
    std::int64_t earliestLatency = 0;
    bool first = true;
    for (const DeviceRecord* device : devices) {
        if (open(device)) {
            const std::int64_t latency = device->device.latencyMicroseconds;
            earliestLatency = first ? latency : std::max(earliestLatency, latency);
            first = false;
        }
    }

    // One plan per latency and zone. Aligned, they all set their devices at the same top of a
    // second, the one the device that wants its frames earliest can still reach (or `setAt`,
    // when it still can); not aligned, each starts at once. Each carries its zone's civil time
    // of that instant, or the computer's.
    const std::int64_t now = time.Now();
    std::int64_t alignedAt = ChooseDeviceSetInstant(now, true, earliestLatency);
    if (setAt && *setAt > alignedAt) {
        alignedAt = *setAt;
    }
    std::map<PlanKey, SequencePlan> plans;
    for (const DeviceRecord* device : devices) {
        const PlanKey key = KeyOf(*device);
        if (open(device) && !plans.contains(key)) {
            const DeviceZone* zone = key.second;
            const std::int64_t at =
                m_align ? alignedAt : ChooseDeviceSetInstant(now, false, key.first);
            plans.emplace(key,
                          PlanSequence(at, key.first,
                                       zone != nullptr ? LocalTimeAtInstant([zone](std::int64_t t) {
                                           return zone->CivilTimeAt(t);
                                       })
                                                       : LocalTimeAtInstant(&ComputerLocalTime)));
        }
    }
    // The instants are waited for on the time's own clock.
    std::vector<Step> steps;
    for (const auto& [key, plan] : plans) {
        for (int index = 0; index < kFramesPerSequence; ++index) {
            steps.push_back({time.OnWaitClock(plan.m_writeAt[index]), index, key});
        }
    }
    std::stable_sort(steps.begin(), steps.end(),
                     [](const Step& a, const Step& b) { return a.at < b.at; });

    platform::DeadlineTimer timer(time.WaitClock());
    FrameWriters writers(
        static_cast<std::size_t>(std::count_if(devices.begin(), devices.end(), open)), timer,
        m_interruption);
    std::vector<FrameTarget> targets;
    for (std::size_t s = 0; s < steps.size(); ++s) {
        const Step& step = steps[s];
        const TimeFrame& frame = plans.at(step.plan).m_frames[step.index];
        targets.clear();
        for (DeviceRecord* device : devices) {
            if (open(device) && KeyOf(*device) == step.plan) {
                targets.push_back({device, false, {}});
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
            for (DeviceRecord* device : devices) {
                device->link.reset();
            }
            return SequenceEnd::Interrupted;
        case platform::DeadlineWait::Failed: {
            const std::string why = kalvor_tools::LastSystemReason();
            for (DeviceRecord* device : devices) {
                if (open(device)) {
                    device->Fail(PortOutcome::SendFailed,
                                 "cannot wait for the instant of the next frame: " + why);
                }
            }
            return SequenceEnd::Completed;
        }
        }
        std::size_t written = 0;
        for (const FrameTarget& target : targets) {
            if (target.written) {
                ++written;
            } else {
                target.device->Fail(PortOutcome::SendFailed, target.error);
            }
        }
        m_log.Frame(ComputerLocalTime(time.Now()), step.index, frame, written,
                    writers.LastWriteMicroseconds());
        if (!anyOpen()) {
            return SequenceEnd::Completed; // every device failed: no instant is left to wait for
        }
        if (s + 1 < steps.size()) {
            for (const DeviceRecord* device : devices) {
                if (open(device)) {
                    device->link->Tend();
                }
            }
        }
    }
    // The last frame leaves its line within its 4.17 ms; the pause makes sure of it before the
    // ports close and the connections end, whatever a device server does with a closing client.
    std::this_thread::sleep_for(std::chrono::microseconds(kFramePeriodMicroseconds));
    for (DeviceRecord* device : devices) {
        if (!open(device)) {
            continue;
        }
        const SequencePlan& plan = plans.at(KeyOf(*device));
        const LocalInstant& instant = plan.m_instant;
        const DeviceZone* zone = device->device.zone.get();
        const std::int64_t takenAt = plan.m_deviceSetAt - device->device.latencyMicroseconds;
        device->setWithUtcOffsetSeconds =
            zone != nullptr ? zone->UtcOffsetAt(takenAt) : ComputerUtcOffsetAt(takenAt);
        m_log.DeviceSet("set " + device->Label() + " to " + kalvor_tools::FormatSecond(instant) +
                        " " + kalvor_tools::WeekdayName(instant.m_weekday) +
                        (zone != nullptr ? " " + zone->name : std::string()) +
                        (time.Told().empty() ? "" : " " + time.Told()) +
                        (reason.empty() ? "" : " (" + reason + ")"));
        device->link.reset();
    }
    return SequenceEnd::Completed;
}

} // namespace kalvor_sync

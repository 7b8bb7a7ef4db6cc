#include "KeepInSync.h"

#include "ClockChange.h"
#include "platform/MonotonicClock.h"
#include "tools/common/zones/ZoneOffset.h"
#include "tools/kalvor-sync/command/ExitStatus.h"

namespace kalvor_sync {

namespace {

constexpr std::int64_t kRetryMicroseconds = KeepInSync::kPortRetryMilliseconds * 1000;

} // namespace

KeepInSync::Step KeepInSync::Sequence(const DeviceRecords& chosen, bool opened,
                                      const RunReason& reason, std::optional<std::int64_t> setAt) {
    if (!m_check.BeforeSequence()) {
        m_reporter.WaitingForClock(m_check.LastState(), m_check.HeldBackBecause());
        return Step::HeldBack;
    }
    SequenceEnd end =
        opened ? SequenceEnd::Completed : OpenDevices(chosen, m_network, m_log, m_interruption);
    if (end == SequenceEnd::Completed) {
        end = m_run.Send(chosen, reason.words, m_check.Time(), setAt);
    }
    if (m_reference != nullptr && !opened) {
        // What the devices now hold, for the watch of what the reference tells next.
        const std::int64_t monotonic = platform::MonotonicMicroseconds();
        m_setWith = m_check.Time().WaitClock() == platform::DeadlineClock::Monotonic
                        ? ReferenceOffset(m_check.Time().Now() - monotonic)
                        : std::nullopt;
        m_reporter.ReferenceNow(m_reference->Report());
    }
    m_reporter.SequenceDone(chosen, end, reason, m_check.LastState());
    if (end == SequenceEnd::Interrupted) {
        return Step::Interrupted;
    }
    Tell(chosen);
    return Step::Done;
}

void KeepInSync::Tell(const DeviceRecords& chosen) {
    const std::int64_t now = platform::ReadClocks().monotonicMicroseconds;
    for (DeviceRecord* device : chosen) {
        if (device->outcome == PortOutcome::Sent) {
            if (device->failing) {
                m_log.Recovery(device->Label() + " is back");
            }
            device->failing = false;
            continue;
        }
        device->nextTry = now + kRetryMicroseconds;
        if (!device->failing) {
            // Once when it goes; the tries while it is gone are quiet.
            for (const std::string& error : device->errors) {
                m_log.Error(error);
            }
            m_log.Error(device->Label() + ": trying it again every " +
                        std::to_string(kPortRetryMilliseconds) + " ms until it is back");
            device->failing = true;
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
    DeviceRecords back;
    for (const EndedOpening& ended : m_tries.TakeEnded()) {
        ended.record->trying = false;
        if (ended.record->link) {
            ended.record->BeginSequence();
            back.push_back(ended.record);
        } else {
            ended.record->nextTry = now + kRetryMicroseconds; // still gone: quietly, again later
        }
    }
    setSome = !back.empty();
    if (setSome) {
        const Step step = Sequence(back, true, {RunReason::Kind::PortBack, "port back"});
        if (step == Step::Interrupted) {
            return false;
        }
        now = platform::ReadClocks().monotonicMicroseconds;
        if (step == Step::HeldBack) {
            // Still failing as far as the status goes: tried, and set, again once the clock is.
            for (DeviceRecord* device : back) {
                device->link.reset();
                device->nextTry = now + kRetryMicroseconds;
            }
        }
    }
    for (DeviceRecord& device : m_devices) {
        if (device.failing && !device.trying && now >= device.nextTry) {
            device.trying = true;
            m_tries.Add(device);
        }
    }
    return true;
}

ReferenceOffset KeepInSync::ReferenceOffsetAt(const platform::ClockReadings& now) const {
    const auto trueTime = m_reference->TrueTimeAt(now.monotonicMicroseconds);
    return trueTime ? ReferenceOffset(trueTime->microseconds - now.monotonicMicroseconds)
                    : std::nullopt;
}

std::optional<KeepInSync::ZoneChange> KeepInSync::NextZoneChange(std::int64_t after) const {
    std::optional<ZoneChange> next;
    for (const DeviceRecord& device : m_devices) {
        const DeviceZone* zone = device.device.zone.get();
        if (zone == nullptr) {
            continue;
        }
        const auto at =
            zone->rules.NextOffsetChange(DeviceZone::FloorSeconds(after), kZoneHorizonSeconds);
        if (at && (!next || *at * 1'000'000 < next->at)) {
            next = ZoneChange{*at * 1'000'000, zone};
        }
    }
    return next;
}

int KeepInSync::Run() {
    // The period is kept on the monotonic clock, so that steps of the wall clock move nothing.
    platform::ClockReadings last = platform::ReadClocks();
    std::int64_t nextRun = last.monotonicMicroseconds;
    std::int64_t nextClockAsk = last.monotonicMicroseconds; // while held back for the clock
    std::optional<Due> due = Due{{RunReason::Kind::Start, ""}, nullptr, false, std::nullopt};
    std::optional<ZoneChange> zoneChange = NextZoneChange(m_check.Time().Now());
    for (;;) {
        m_reporter.Alive();
        if (due && last.monotonicMicroseconds >= nextClockAsk) {
            // The devices that are gone are left to their tries, so that one that never answers
            // does not hold up the others by its connect time limit.
            DeviceRecords chosen;
            for (DeviceRecord& device : m_devices) {
                if (!device.failing && due->Takes(device)) {
                    chosen.push_back(&device);
                }
            }
            Step step = Step::Done;
            if (!chosen.empty()) {
                step = Sequence(chosen, false, due->reason, due->setAt);
            }
            if (step == Step::Interrupted) {
                return kExitInterrupted;
            }
            last = platform::ReadClocks();
            if (step == Step::HeldBack) {
                nextClockAsk = last.monotonicMicroseconds + kClockWaitMilliseconds * 1000;
            } else {
                // Runs longer than the period skip the runs they overlap.
                while (due->All() && nextRun <= last.monotonicMicroseconds) {
                    nextRun += m_periodMicroseconds;
                }
                due.reset();
            }
        }

        if (Wait(kClockLookMilliseconds)) {
            return kExitSent;
        }
        const platform::ClockReadings now = platform::ReadClocks();
        std::optional<RunReason> change = DescribeClockChange(last, now);
        if (m_reference != nullptr) {
            m_reporter.ReferenceNow(m_reference->Report());
            // The devices go by the reference's time, which a step of the computer's clock does
            // not move; what the reference tells may move it.
            if (change && change->kind == RunReason::Kind::ClockStep) {
                change.reset();
            }
            if (!change && !due) {
                change = DescribeReferenceChange(m_setWith, ReferenceOffsetAt(now));
            }
        }
        last = now;
        if (change) {
            // The computer's UTC offset is the local time's: the devices of a zone of their own
            // keep theirs.
            due =
                Due{*change, nullptr, change->kind == RunReason::Kind::OffsetChange, std::nullopt};
            zoneChange = NextZoneChange(m_check.Time().Now());
            continue;
        }
        // A zone's change is known ahead: its devices are set so that their seconds frame lands
        // on the change itself.
        if (zoneChange && m_check.Time().Now() >= zoneChange->at - kZoneLeadMicroseconds) {
            const std::int32_t offset = zoneChange->zone->UtcOffsetAt(zoneChange->at);
            if (!due) {
                due = Due{{RunReason::Kind::OffsetChange,
                           zoneChange->zone->name + ": UTC offset changed to " +
                               kalvor_zones::FormatUtcOffset(offset)},
                          zoneChange->zone,
                          false,
                          zoneChange->at};
            }
            zoneChange = NextZoneChange(zoneChange->at);
            continue;
        }
        if (now.monotonicMicroseconds >= nextRun) {
            // A run held back for the clock keeps the reason it was due for.
            if (!due) {
                due = Due{{RunReason::Kind::Period, ""}, nullptr, false, std::nullopt};
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

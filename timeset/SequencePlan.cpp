#include "timeset/SequencePlan.h"

namespace {

constexpr std::int64_t kMicrosecondsPerSecond = 1'000'000;

// The first whole second at or after `instant`.
std::int64_t CeilToSecond(std::int64_t instant) {
    std::int64_t remainder = instant % kMicrosecondsPerSecond;
    if (remainder < 0) {
        remainder += kMicrosecondsPerSecond;
    }
    return remainder == 0 ? instant : instant - remainder + kMicrosecondsPerSecond;
}

const LocalInstant kCivilEpoch{1970, 1, 1, 4, 0, 0, 0, 0};

} // namespace

std::int64_t ChooseDeviceSetInstant(std::int64_t now, bool align,
                                    std::int64_t latencyMicroseconds) {
    const std::int64_t earliest =
        now + kPlanningLeadMicroseconds + kSequenceMicroseconds + latencyMicroseconds;
    // Whole seconds of the computer's clock are whole local seconds too: time zones differ from
    // UTC by whole minutes.
    return align ? CeilToSecond(earliest) : earliest;
}

SequencePlan PlanSequence(std::int64_t deviceSetAt, std::int64_t latencyMicroseconds,
                          const LocalTimeAtInstant& localTimeAt) {
    SequencePlan plan;
    plan.m_deviceSetAt = deviceSetAt;
    // All seven fields from this one instant: a sequence that straddles midnight of New Year's
    // Eve carries the new year in its year frame, written while the old one still runs.
    plan.m_instant = localTimeAt(deviceSetAt);
    const std::int64_t lastWrite = deviceSetAt - latencyMicroseconds - kFrameLineMicroseconds;
    for (int index = 0; index < kFramesPerSequence; ++index) {
        plan.m_writeAt[index] =
            lastWrite - (kFramesPerSequence - 1 - index) * kFramePeriodMicroseconds;
        plan.m_frames[index] = BuildTimeFrame(plan.m_instant, *FrameStep::At(index));
    }
    return plan;
}

SequencePlan PlanSequenceFrom(std::int64_t firstWriteAt, const LocalTimeAtInstant& localTimeAt) {
    return PlanSequence(firstWriteAt + kSequenceMicroseconds, 0, localTimeAt);
}

LocalInstant CivilClockTime(std::int64_t microseconds) {
    std::int64_t milliseconds = microseconds / 1000;
    if (microseconds % 1000 < 0) {
        --milliseconds;
    }
    return AddMilliseconds(kCivilEpoch, milliseconds);
}

std::int64_t CivilClockInstant(const LocalInstant& instant) {
    return MillisecondsBetween(kCivilEpoch, instant) * 1000;
}

#pragma once

#include "platform/LocalInstant.h"
#include "timeset/TimeFrame.h"

#include <array>
#include <cstdint>
#include <functional>

// When each frame of one sequence is written, and the one instant all seven carry, so that a
// sequence crossing a change of second, minute, hour, day or year still sets one coherent time.
// Times are microseconds on the computer's clock (platform/SystemClock.h), or on a stand-in clock
// that counts local civil time (CivilClockTime below). Both the window's command and kalvor-sync
// plan here.

// The first frame is never planned sooner than this after the planning, so that its wait is
// still ahead when it begins.
inline constexpr std::int64_t kPlanningLeadMicroseconds = 20'000;

// From the first frame's write to the seconds frame's last byte on the line.
inline constexpr std::int64_t kSequenceMicroseconds =
    (kFramesPerSequence - 1) * kFramePeriodMicroseconds + kFrameLineMicroseconds;

// The local time at an instant of the clock the plan is made on.
using LocalTimeAtInstant = std::function<LocalInstant(std::int64_t microseconds)>;

struct SequencePlan {
    // The instant the device takes the time: the seconds frame's last byte on the line plus the
    // device's latency. The frames carry the local time then (its whole second: the device starts
    // that second as it takes it, so it is never set ahead of the computer).
    std::int64_t m_deviceSetAt = 0;
    LocalInstant m_instant;
    std::array<std::int64_t, kFramesPerSequence> m_writeAt{}; // each frame's write begins
    std::array<TimeFrame, kFramesPerSequence> m_frames{};
};

// The frames for the device to take the time at `deviceSetAt`, `latencyMicroseconds` after the
// seconds frame's last byte reached it, and when each must be written.
SequencePlan PlanSequence(std::int64_t deviceSetAt, std::int64_t latencyMicroseconds,
                          const LocalTimeAtInstant& localTimeAt);

// The instant to set the device at, for a sequence planned at `now`. Aligned: the first top of
// a second that the sequence can still reach, so that the seconds frame's last byte lands
// `latencyMicroseconds` before it. Not aligned: the sequence starts at once and the device is
// set whenever its seconds frame lands (plus the latency), up to a second behind.
std::int64_t ChooseDeviceSetInstant(std::int64_t now, bool align, std::int64_t latencyMicroseconds);

// The plan of a sequence whose first frame is written at `firstWriteAt` and the rest a period
// apart, as the window's timer sends them: the device is set when the seconds frame lands.
SequencePlan PlanSequenceFrom(std::int64_t firstWriteAt, const LocalTimeAtInstant& localTimeAt);

// A stand-in clock that counts local civil time itself, microseconds since 1970-01-01 00:00:00
// local: plans for a given local instant (a reading of the local clock, a dry run "at" a time)
// are made on it.
LocalInstant CivilClockTime(std::int64_t microseconds);
std::int64_t CivilClockInstant(const LocalInstant& instant);

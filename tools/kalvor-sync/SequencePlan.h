#pragma once

#include "timeset/LocalInstant.h"
#include "timeset/TimeFrame.h"

#include <array>
#include <cstdint>
#include <functional>

// When each frame of one sequence is written, and the one instant that all seven carry. Times
// are microseconds on the computer's clock (platform/SystemClock.h), or on a stand-in clock that
// counts local civil time (CivilClock below).

// Frames go 200 ms apart, year first and seconds last.
inline constexpr std::int64_t kFrameIntervalMicroseconds = 200'000;
// A frame takes 4 bytes of 10 bits (start, 8 data, stop) at 9600 baud on the line: 4.17 ms.
inline constexpr std::int64_t kFrameLineMicroseconds = 4 * 10 * 1'000'000 / 9600;
// The first frame is never planned sooner than this after the planning, so that its wait is
// still ahead when it begins.
inline constexpr std::int64_t kPlanningLeadMicroseconds = 20'000;

// The local time at an instant of the clock the plan is made on.
using LocalTimeAtInstant = std::function<LocalInstant(std::int64_t microseconds)>;

struct SequencePlan {
    // The instant the device takes the time: the seconds frame's last byte on the line plus the
    // device's latency. The frames carry the local time then (its whole second).
    std::int64_t m_deviceSetAt = 0;
    LocalInstant m_instant;
    std::array<std::int64_t, kFramesPerSequence> m_writeAt{}; // each frame's write begins
    std::array<TimeFrame, kFramesPerSequence> m_frames{};
};

// The instant to set the device at, for a sequence planned at `now`. Aligned: the first top of
// a second that the sequence can still reach, so that the seconds frame's last byte lands
// `latencyMicroseconds` before it. Not aligned: the sequence starts at once and the device is
// set whenever its seconds frame lands (plus the latency), up to a second behind.
std::int64_t ChooseDeviceSetInstant(std::int64_t now, bool align, std::int64_t latencyMicroseconds);

// The frames for the device to take the time at `deviceSetAt`, `latencyMicroseconds` after the
// seconds frame's last byte reached it, and when each must be written.
SequencePlan PlanSequence(std::int64_t deviceSetAt, std::int64_t latencyMicroseconds,
                          const LocalTimeAtInstant& localTimeAt);

// A stand-in clock that counts local civil time itself, microseconds since 1970-01-01 00:00:00
// local: plans for a given local instant (a dry run "at" a time) are made on it.
LocalInstant CivilClockTime(std::int64_t microseconds);
std::int64_t CivilClockInstant(const LocalInstant& instant);

#pragma once

#include "timeset/SequencePlan.h"

#include <functional>

// The window's time-set sequence, one frame per tick of its timer. A sequence's first tick reads
// the local clock and plans all seven frames from it (they carry the time at which the seconds
// frame, six ticks later, reaches the device); every tick hands over the next frame of that plan.
class SendSequence {
public:
    using ReadClock = std::function<LocalInstant()>;

    // The frame for this tick; the clock is read on a sequence's first tick only. After the
    // seconds frame the sequence is idle again and the next tick starts a new one.
    TimeFrame NextFrame(const ReadClock& readClock);

    // The step of the next frame, 0 (year) to 6 (seconds); 0 between sequences.
    int Step() const { return m_step; }
    bool Idle() const { return m_step == 0; }

private:
    int m_step = 0;
    SequencePlan m_plan; // the running sequence's frames, made at its first tick
};

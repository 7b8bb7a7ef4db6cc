#include "timeset/SendSequence.h"

TimeFrame SendSequence::NextFrame(const ReadClock& readClock) {
    if (m_step == 0) {
        // The reading is taken as the moment of the first write: the timer's ticks follow it a
        // period apart, and the device takes the time as the seconds frame lands.
        m_plan = PlanSequenceFrom(CivilClockInstant(readClock()), &CivilClockTime);
    }
    const TimeFrame frame = m_plan.m_frames[m_step];
    m_step = (m_step + 1) % kFramesPerSequence;
    return frame;
}

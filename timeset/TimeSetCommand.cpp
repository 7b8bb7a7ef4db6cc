// The time-set command of the main dialog: a click starts the sequence, and each tick of
// TIMER_SEND_STEP hands one frame to the port.
#include "app/KalvorDlg.h"
#include "timeset/SequencePlan.h"

namespace {

// The time all frames of a sequence carry, planned at its first tick from the clock's reading:
// the local time when the seconds frame, six ticks later, reaches the device, so that a sequence
// crossing a change of minute, hour or day still sets one coherent time.
TimeSnapshot PlanSequenceTime(const platform::LocalTime& firstTick) {
    return PlanSequenceFrom(CivilClockInstant(ToLocalInstant(firstTick)), &CivilClockTime)
        .m_instant.m_time;
}

} // namespace

// A click during a sequence restarts the timer and carries on from the current step, with the
// time already planned: the frames still to come stay coherent with those already sent (the
// device then runs behind by the delay the click added).
void CKalvorDlg::OnClickedSetTime() {
    if (m_portOpen) {
        SetTimer(TIMER_SEND_STEP, TIMER_SEND_STEP_PERIOD_MS);
    } else {
        ShowTip(m_tipNotOpen);
    }
}

void CKalvorDlg::SendStep() {
    const std::optional<FrameStep> step = FrameStep::At(m_sendStep);
    if (!step) { // never: m_sendStep only counts from 0 to 6
        m_sendStep = 0;
        KillTimer(TIMER_SEND_STEP);
        return;
    }
    if (m_sendStep == 0) {
        m_sequenceTime = PlanSequenceTime(m_readClock());
    }
    const TimeFrame frame = BuildTimeFrame(m_sequenceTime, *step);
    // The port's state is not looked at: after a failed reopening the frame reaches no line.
    m_port.RequestSend(frame.data(), static_cast<std::uint32_t>(frame.size()));

    ++m_sendStep;
    if (m_sendStep >= kFramesPerSequence) {
        m_sendStep = 0;
        KillTimer(TIMER_SEND_STEP);
    }
}

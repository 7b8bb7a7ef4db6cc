// The time-set command of the main dialog: a click starts the sequence, and each tick of
// TIMER_SEND_STEP hands one frame of it to the port.
#include "app/KalvorDlg.h"

// The port runs the line the frames' timing is reckoned for.
static_assert(CSerialPort::kLineFormat == kTimeSetLine);

// A click during a sequence restarts the timer and carries on from the current step, with the
// time already planned: the frames still to come stay coherent with those already sent (the
// device then runs behind by the delay the click added).
void CKalvorDlg::OnClickedSetTime() {
    if (m_portOpen) {
        SetTimer(TIMER_SEND_STEP, TIMER_SEND_STEP_PERIOD_MS);
    } else {
        ShowTip(m_texts.m_tipNotOpen);
    }
}

void CKalvorDlg::SendStep() {
    const TimeFrame frame = m_sendStep.NextFrame(m_readClock);
    // The port's state is not looked at: after a failed reopening the frame reaches no line.
    m_port.RequestSend(frame.data(), static_cast<std::uint32_t>(frame.size()));
    if (m_sendStep.Idle()) {
        KillTimer(TIMER_SEND_STEP);
    }
}

#include "SyncRun.h"

#include "ComputerClock.h"
#include "serial/SerialPort.h"
#include "timeset/SequencePlan.h"
#include "tools/common/InstantText.h"
#include "tools/common/PortErrorWords.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace kalvor_sync {

using kalvor_tools::LastSystemReason;

RunOutcome SyncRun::Once() {
    const std::string& name = m_port.label;
    // Written by whichever thread met a failure of the port: this one or its monitor.
    std::atomic<bool> failed{false};
    // Fine timers for this sequence only, not for the wait between runs.
    const platform::FineTimerResolution fineTimers;

    CSerialPort port;
    port.SetReportSink([&](const platform::PortError& error) {
        failed = true;
        m_log.Error(kalvor_tools::PortErrorInWords(error));
    });
    if (!port.Open(nullptr, m_port)) {
        if (const auto& error = port.LastOpenFailure()) {
            m_log.Error(kalvor_tools::PortErrorInWords(*error));
        }
        return RunOutcome::NotOpened;
    }
    if (failed) {
        return RunOutcome::NotOpened; // its set-up failed, and was told
    }
    if (!port.StartMonitor()) {
        m_log.Error(name +
                    ": cannot start the thread that writes to the port: " + LastSystemReason());
        return RunOutcome::SendFailed;
    }

    const SequencePlan plan = PlanSequence(
        ChooseDeviceSetInstant(platform::SystemClockMicroseconds(), m_align, m_latencyMicroseconds),
        m_latencyMicroseconds, &ComputerLocalTime);
    for (int index = 0; index < kFramesPerSequence; ++index) {
        switch (m_timer.WaitUntil(plan.m_writeAt[index], m_interruption)) {
        case platform::DeadlineWait::Reached:
            break;
        case platform::DeadlineWait::Interrupted:
            m_log.Error("interrupted after " + std::to_string(index) + " of " +
                        std::to_string(kFramesPerSequence) + " frames to " + name +
                        (index > 0 ? ": the device may hold part of the new time" : ""));
            return RunOutcome::Interrupted;
        case platform::DeadlineWait::Failed:
            m_log.Error("cannot wait for the instant of the next frame: " + LastSystemReason());
            return RunOutcome::SendFailed;
        }
        if (!port.RequestSend(plan.m_frames[index].data(),
                              static_cast<std::uint32_t>(TimeFrame().size()))) {
            m_log.Error(name + ": the port refused the " + FieldName(*FrameStep::At(index)) +
                        " frame");
            return RunOutcome::SendFailed;
        }
        m_log.Frame(ComputerLocalTime(platform::SystemClockMicroseconds()), index,
                    plan.m_frames[index]);
    }
    // The monitor takes each frame as soon as it is handed over, as the 200 ms pacing relies on;
    // the port is closed only when that time has passed for the last one too, since stopping the
    // monitor drops a frame it has not begun to write.
    std::this_thread::sleep_for(std::chrono::microseconds(kFramePeriodMicroseconds));
    if (failed) {
        return RunOutcome::SendFailed;
    }
    m_log.Note("set " + name + " to " + kalvor_tools::FormatSecond(plan.m_instant) + " " +
               kalvor_tools::WeekdayName(plan.m_instant.m_time.m_weekday));
    return RunOutcome::Sent;
}

} // namespace kalvor_sync

#include "SequenceRun.h"

#include "ComputerClock.h"
#include "serial/SerialPort.h"
#include "timeset/SequencePlan.h"
#include "tools/common/InstantText.h"
#include "tools/common/PortErrorWords.h"

#include <chrono>
#include <memory>
#include <mutex>
#include <thread>

namespace kalvor_sync {

namespace {

// One port of a sequence: its serial port and what became of it. The port's monitor thread
// reports its failures here too, so the errors are kept under a lock.
struct Line {
    platform::PortName name;
    CSerialPort port;
    bool open = false; // still taking frames; written by the sequence's thread only
    std::mutex mutex;
    PortResult result; // under mutex

    void Fail(PortOutcome outcome, const std::string& error) {
        std::lock_guard lock(mutex);
        if (result.outcome == PortOutcome::Sent) {
            result.outcome = outcome;
        }
        result.errors.push_back(error);
    }
    bool Failed() {
        std::lock_guard lock(mutex);
        return result.outcome != PortOutcome::Sent;
    }
};

void OpenLine(Line& line) {
    line.port.SetReportSink([&line](const platform::PortError& error) {
        line.Fail(PortOutcome::SendFailed, kalvor_tools::PortErrorInWords(error));
    });
    if (!line.port.Open(nullptr, line.name)) {
        if (const auto& error = line.port.LastOpenFailure()) {
            line.Fail(PortOutcome::NotOpened, kalvor_tools::PortErrorInWords(*error));
        }
        return;
    }
    if (line.Failed()) {
        // Its set-up failed, and was told: the port is not worth a sequence.
        std::lock_guard lock(line.mutex);
        line.result.outcome = PortOutcome::NotOpened;
        return;
    }
    if (!line.port.StartMonitor()) {
        line.Fail(PortOutcome::SendFailed, line.name.label +
                                               ": cannot start the thread that writes to the "
                                               "port: " +
                                               kalvor_tools::LastSystemReason());
        return;
    }
    line.open = true;
}

} // namespace

SequenceResult SequenceRun::Once(const std::vector<platform::PortName>& ports,
                                 const std::string& reason) {
    // Fine timers for this sequence only, not for the wait between runs.
    const platform::FineTimerResolution fineTimers;

    std::vector<std::unique_ptr<Line>> lines;
    for (const platform::PortName& name : ports) {
        lines.push_back(std::make_unique<Line>());
        lines.back()->name = name;
        OpenLine(*lines.back());
    }
    SequenceResult result;
    const auto collect = [&] {
        for (const auto& line : lines) {
            std::lock_guard lock(line->mutex);
            result.ports.push_back(line->result);
        }
        return result;
    };
    const auto anyOpen = [&] {
        for (const auto& line : lines) {
            if (line->open) {
                return true;
            }
        }
        return false;
    };
    if (!anyOpen()) {
        return collect();
    }

    const SequencePlan plan = PlanSequence(
        ChooseDeviceSetInstant(platform::SystemClockMicroseconds(), m_align, m_latencyMicroseconds),
        m_latencyMicroseconds, &ComputerLocalTime);
    for (int index = 0; index < kFramesPerSequence && anyOpen(); ++index) {
        switch (m_timer.WaitUntil(plan.m_writeAt[index], m_interruption)) {
        case platform::DeadlineWait::Reached:
            break;
        case platform::DeadlineWait::Interrupted:
            m_log.Error("interrupted after " + std::to_string(index) + " of " +
                        std::to_string(kFramesPerSequence) + " frames" +
                        (index > 0 ? ": the devices may hold part of the new time" : ""));
            result.interrupted = true;
            return collect();
        case platform::DeadlineWait::Failed: {
            const std::string reason = kalvor_tools::LastSystemReason();
            for (const auto& line : lines) {
                if (line->open) {
                    line->Fail(PortOutcome::SendFailed,
                               "cannot wait for the instant of the next frame: " + reason);
                    line->open = false;
                }
            }
            return collect();
        }
        }
        // Every port gets the frame at once, so each port's monitor writes it at the same
        // instant.
        for (const auto& line : lines) {
            if (line->open &&
                !line->port.RequestSend(plan.m_frames[index].data(),
                                        static_cast<std::uint32_t>(TimeFrame().size()))) {
                line->Fail(PortOutcome::SendFailed, line->name.label + ": the port refused the " +
                                                        FieldName(*FrameStep::At(index)) +
                                                        " frame");
                line->open = false;
            }
        }
        m_log.Frame(ComputerLocalTime(platform::SystemClockMicroseconds()), index,
                    plan.m_frames[index]);
    }
    // The monitor takes each frame as soon as it is handed over, as the 200 ms pacing relies on;
    // the ports are closed only when that time has passed for the last one too, since stopping
    // a monitor drops a frame it has not begun to write.
    std::this_thread::sleep_for(std::chrono::microseconds(kFramePeriodMicroseconds));
    for (const auto& line : lines) {
        if (line->open && !line->Failed()) {
            m_log.DeviceSet("set " + line->name.label + " to " +
                            kalvor_tools::FormatSecond(plan.m_instant) + " " +
                            kalvor_tools::WeekdayName(plan.m_instant.m_weekday) +
                            (reason.empty() ? "" : " (" + reason + ")"));
        }
    }
    return collect();
}

} // namespace kalvor_sync

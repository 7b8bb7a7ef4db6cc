#include "SyncRun.h"

#include "ComputerClock.h"
#include "InstantText.h"
#include "SequencePlan.h"
#include "platform/CommPort.h"
#include "platform/SystemError.h"
#include "serial/SerialPort.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace {

// A port report on one line: the line breaks of its layout become blanks, and the port number
// it closes with is left out, since the log names the port itself.
std::string OneLine(const std::string& report) {
    std::string text = report.substr(0, report.rfind("\nPort:"));
    std::string line;
    for (char c : text) {
        const bool blank = c == '\n' || c == '\r' || c == ' ';
        if (!blank) {
            line += c;
        } else if (!line.empty() && line.back() != ' ') {
            line += ' ';
        }
    }
    while (!line.empty() && line.back() == ' ') {
        line.pop_back();
    }
    return line;
}

} // namespace

std::string SyncPort::Name() const {
    if (!m_device.empty()) {
        return m_device;
    }
    return "COM" + std::to_string(m_number) + " (" + platform::PortDevice(m_number) + ")";
}

std::string LastSystemReason() {
    const unsigned code = platform::LastSystemError();
    const std::string text = OneLine(platform::SystemErrorText(code));
    return text.empty() ? "error " + std::to_string(code) : text;
}

RunOutcome SyncRun::Once() {
    const std::string name = m_port.Name();
    // Written by whichever thread met a failure of the port: this one or its monitor.
    std::atomic<bool> failed{false};
    // Fine timers for this sequence only, not for the wait between runs.
    const platform::FineTimerResolution fineTimers;

    CSerialPort port;
    port.SetReportSink([&](const std::string& text, const std::string&) {
        failed = true;
        m_log.Error(name + ": " + OneLine(text));
    });
    if (!port.Open(nullptr, m_port.m_number)) {
        m_log.Error("cannot open " + name + ": " + LastSystemReason());
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
            m_log.Error(name + ": the port refused the " + FieldName(index) + " frame");
            return RunOutcome::SendFailed;
        }
        m_log.Frame(ComputerLocalTime(platform::SystemClockMicroseconds()), index,
                    plan.m_frames[index]);
    }
    // The monitor takes each frame as soon as it is handed over, as the 200 ms pacing relies on;
    // the port is closed only when that time has passed for the last one too, since stopping the
    // monitor drops a frame it has not begun to write.
    std::this_thread::sleep_for(std::chrono::microseconds(kFrameIntervalMicroseconds));
    if (failed) {
        return RunOutcome::SendFailed;
    }
    LocalInstant set = plan.m_instant;
    set.m_milliseconds = 0;
    m_log.Note("set " + name + " to " + FormatInstant(set).substr(0, 19) + " " +
               WeekdayName(set.m_time.m_weekday));
    return RunOutcome::Sent;
}

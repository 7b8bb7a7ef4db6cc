#include "StatusReporter.h"

#include "ClockStateWords.h"
#include "ReferenceWords.h"
#include "StatusJson.h"
#include "StatusMetrics.h"
#include "platform/FileReplace.h"
#include "platform/MonotonicClock.h"
#include "platform/SystemClock.h"

#include <cmath>
#include <fstream>
#include <sstream>

namespace kalvor_sync {

namespace {

// The watchdog hears from the loop four times per its time-out, so that one sequence (or a
// connect time limit) between two of the loop's wake-ups does not make it miss one.
constexpr int kSignsOfLifePerTimeout = 4;

std::vector<std::string> NamesOf(const std::vector<SyncDevice>& devices) {
    std::vector<std::string> names;
    for (const SyncDevice& device : devices) {
        names.push_back(device.Label());
    }
    return names;
}

StatusTime Now() {
    return StatusTimeAt(platform::SystemClockMicroseconds());
}

DeviceOutcome OutcomeOf(const DeviceRecord& device, bool interrupted) {
    switch (device.outcome) {
    case PortOutcome::Sent:
        return interrupted ? DeviceOutcome::Interrupted : DeviceOutcome::Set;
    case PortOutcome::NotOpened:
        return DeviceOutcome::NotOpened;
    case PortOutcome::SendFailed:
        return DeviceOutcome::SendFailed;
    }
    return DeviceOutcome::SendFailed;
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string joined;
    for (const std::string& line : lines) {
        joined += (joined.empty() ? "" : "; ") + line;
    }
    return joined;
}

// "2026-12-08 03:00:00" of a status time.
std::string Second(const StatusTime& time) {
    std::string text = time.local.substr(0, 19);
    if (text.size() > 10) {
        text[10] = ' ';
    }
    return text;
}

} // namespace

StatusReporter::StatusReporter(const SyncCommand& command, SyncLog& log,
                               platform::ServiceNotify& notify)
    : m_status(NewStatus(KALVOR_VERSION, NamesOf(command.m_devices), command.m_everyMicroseconds,
                         Now())),
      m_statusFile(command.m_statusFile), m_metricsFile(command.m_metricsFile),
      m_following(command.m_everyMicroseconds > 0), m_log(log), m_notify(notify),
      m_maxErrorMicroseconds(command.m_maxErrorMicroseconds),
      m_lastSignOfLife(std::chrono::steady_clock::now()) {}

void StatusReporter::TellZones(const std::vector<SyncDevice>& devices,
                               const std::string& dataVersion) {
    for (std::size_t i = 0; i < devices.size() && i < m_status.devices.size(); ++i) {
        m_status.devices[i].zone = devices[i].zone ? devices[i].zone->name : std::string();
    }
    m_status.zoneDataVersion = dataVersion;
}

void StatusReporter::Started() {
    if (!m_following && !m_statusFile.empty()) {
        std::ifstream file(m_statusFile, std::ios::binary);
        std::ostringstream text;
        // A file that is not there is the first run's; one that is there must be ours.
        if (file && text << file.rdbuf()) {
            std::string error;
            if (const auto earlier = StatusFromJson(text.str(), error)) {
                CarryForward(m_status, *earlier);
            } else {
                m_log.Warning("the status file " + m_statusFile + " holds no status (" + error +
                              "): the devices' history and counts start again");
            }
        }
    }
    m_statusLine = "starting";
    Publish();
}

void StatusReporter::SequenceDone(const DeviceRecords& devices, SequenceEnd end,
                                  const RunReason& reason, const platform::ClockSyncState& clock) {
    const StatusTime at = Now();
    TellOnce(platform::MonotonicClockNotice());
    m_status.clock = clock;
    m_status.state = RunState::Running;
    int set = 0;
    std::vector<std::string> names, failures;
    const bool interrupted = end == SequenceEnd::Interrupted;
    for (const DeviceRecord* device : devices) {
        const DeviceOutcome outcome = OutcomeOf(*device, interrupted);
        const std::string error = Joined(device->errors);
        RecordAttempt(m_status, device->Label(), outcome, error, reason, at);
        if (outcome == DeviceOutcome::Set) {
            for (DeviceStatus& told : m_status.devices) {
                if (told.name == device->Label()) {
                    told.utcOffsetSeconds = device->setWithUtcOffsetSeconds;
                }
            }
        }
        names.push_back(device->Label());
        if (outcome == DeviceOutcome::Set) {
            ++set;
        } else if (!error.empty()) {
            failures.push_back(error);
        }
    }
    std::string line = "last sequence " + Second(at) + " (" + ReasonName(reason.kind) + "): ";
    if (interrupted) {
        line += "interrupted";
    } else if (set == static_cast<int>(devices.size())) {
        line += "set " + Joined(names);
    } else {
        line += "set " + std::to_string(set) + " of " + std::to_string(devices.size()) +
                (devices.size() == 1 ? " device" : " devices");
    }
    if (!failures.empty()) {
        line += "; " + Joined(failures);
    }
    m_statusLine = line;
    Publish();
    Ready();
}

void StatusReporter::Refused(const DeviceRecords& devices, const platform::ClockSyncState& clock,
                             const std::string& because) {
    const StatusTime at = Now();
    m_status.clock = clock;
    const std::string why = "not set (--require-synced): " + because;
    for (const DeviceRecord* device : devices) {
        RecordAttempt(m_status, device->Label(), DeviceOutcome::Refused, why, {}, at);
    }
    m_statusLine = why;
    Publish();
}

void StatusReporter::WaitingForClock(const platform::ClockSyncState& clock,
                                     const std::string& because) {
    const std::string line =
        (m_status.reference ? "waiting until the time reference tells the time"
                            : "waiting until the computer's clock is synchronised") +
        std::string(" (--require-synced): ") + because;
    const bool changed = m_status.state != RunState::WaitingForClock || line != m_statusLine;
    m_status.clock = clock;
    m_status.state = RunState::WaitingForClock;
    if (changed) {
        // Rewritten when what it says changes, not every time the clock is asked again.
        m_statusLine = line;
        Publish();
    }
    Ready();
}

void StatusReporter::ReferenceNow(const reference::ReferenceReport& report) {
    const std::int64_t monotonic = platform::MonotonicMicroseconds();
    const std::int64_t wall = platform::SystemClockMicroseconds();
    const std::string before = m_status.reference ? m_status.reference->state : std::string();
    m_status.reference = ReferenceStatusOf(report, m_maxErrorMicroseconds, monotonic, wall);
    const std::string& now = m_status.reference->state;
    const bool changed = !before.empty() && now != before;
    TellOnce(report.failure);
    if (changed) {
        // Where it runs as a service, the Event Log hears each change as a warning or a return.
        const std::string sentence = ReferenceSentence(report);
        if (report.state == reference::ReferenceState::Synced) {
            m_log.Recovery(sentence);
        } else {
            m_log.Warning(sentence);
        }
    }
    // The measures are kept fresh for those who watch them, not rewritten at every look.
    if (changed || monotonic - m_referencePublished >= kReferencePublishMicroseconds) {
        m_referencePublished = monotonic;
        Publish();
    }
}

void StatusReporter::TellOnce(const std::string& notice) {
    if (!notice.empty() && m_noticesTold.insert(notice).second) {
        m_log.Warning(notice);
    }
}

void StatusReporter::Alive() {
    const std::int64_t timeout = m_notify.WatchdogMicroseconds();
    if (timeout <= 0) {
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (now - m_lastSignOfLife >= std::chrono::microseconds(timeout / kSignsOfLifePerTimeout)) {
        m_notify.WatchdogAlive();
        m_lastSignOfLife = now;
    }
}

std::string StoppedLine(int exitStatus, platform::StopCause cause) {
    return "stopped" +
           (cause == platform::StopCause::None
                ? std::string()
                : std::string(" by ") + platform::StopCauseWords(cause)) +
           ", exit status " + std::to_string(exitStatus);
}

void StatusReporter::Stopped(int exitStatus, platform::StopCause cause) {
    m_notify.Stopping();
    m_status.state = RunState::Stopped;
    m_status.exitStatus = exitStatus;
    m_status.stoppedBy =
        cause == platform::StopCause::None ? std::string() : platform::StopCauseWords(cause);
    m_statusLine = StoppedLine(exitStatus, cause);
    Publish();
}

// Ready once the first sequence is over (or it waits for the clock): a unit ordered after
// kalvor-sync's, and `systemctl start`, then find the devices set. A Windows service told its
// manager earlier (ServiceCommand.cpp), and hearing it again changes nothing there.
void StatusReporter::Ready() {
    if (!m_ready) {
        m_ready = true;
        m_notify.Ready();
    }
}

void StatusReporter::Publish() {
    m_notify.Status(
        m_status.reference
            ? m_statusLine + "; time reference " + m_status.reference->state +
                  (m_status.reference->errorBoundSeconds
                       ? ", error bound " + ErrorEstimateText(std::llround(
                                                *m_status.reference->errorBoundSeconds * 1e6))
                       : std::string())
            : m_statusLine);
    if (!m_statusFile.empty()) {
        WriteFile(m_statusFile, StatusToJson(m_status, Now()), m_statusFailing);
    }
    if (!m_metricsFile.empty()) {
        WriteFile(m_metricsFile, StatusToMetrics(m_status), m_metricsFailing);
    }
    // Writing is a sign of life too, and the watchdog may be due after a long sequence.
    Alive();
}

void StatusReporter::WriteFile(const std::string& path, const std::string& contents,
                               bool& failing) {
    const std::optional<std::string> failure = platform::ReplaceFileContents(path, contents);
    if (failure && !failing) {
        m_log.Warning(*failure + "; the devices are set all the same, and it is tried again "
                                 "after each sequence");
    }
    failing = failure.has_value();
}

} // namespace kalvor_sync

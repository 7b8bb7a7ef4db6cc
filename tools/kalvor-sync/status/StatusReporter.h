#pragma once

#include "SyncStatus.h"
#include "platform/Interruption.h"
#include "platform/ServiceNotify.h"
#include "tools/kalvor-sync/command/SyncCommand.h"
#include "tools/kalvor-sync/log/SyncLog.h"
#include "tools/kalvor-sync/sequence/SequenceRun.h"

#include <chrono>
#include <set>
#include <string>
#include <vector>

namespace kalvor_sync {

// Tells those who watch kalvor-sync from outside how every device is: the status file and the
// metrics file (--status-file, --metrics-file), each replaced whole at the start, after every
// sequence and at the end, and the service manager that runs the program (ready after the first
// sequence or once it waits for the clock, a status line after each sequence, the watchdog's
// signs of life, stopping). A file that cannot be written is told once, until it can be again;
// the syncing goes on. Used from the thread that runs the program's loop only.
// How a run ended, in one line: "stopped by the system's shutdown, exit status 130".
std::string StoppedLine(int exitStatus, platform::StopCause cause);

class StatusReporter {
public:
    StatusReporter(const SyncCommand& command, SyncLog& log, platform::ServiceNotify& notify);

    // The zones the devices show (and the zone data's version), as the status tells them.
    void TellZones(const std::vector<SyncDevice>& devices, const std::string& dataVersion);

    // The run begins. A single run (no --every) carries the devices' history and counts on from
    // the status file it finds.
    void Started();

    // A sequence on `devices` ended as `end` (their records tell how it went on each); it ran for
    // `reason`, the clock being as `clock`.
    void SequenceDone(const DeviceRecords& devices, SequenceEnd end, const RunReason& reason,
                      const platform::ClockSyncState& clock);

    // --require-synced refused a single run's sequence (exit 4), `because` the computer's clock or
    // the time reference is not good enough: a failure of every device.
    void Refused(const DeviceRecords& devices, const platform::ClockSyncState& clock,
                 const std::string& because);

    // --require-synced with --every holds the devices back until the clock is synchronised (or
    // the time reference tells the time).
    void WaitingForClock(const platform::ClockSyncState& clock, const std::string& because);

    // How the time reference is now: kept for the files, which are written when its state changes
    // (and the log told) and otherwise once a minute at most; a failure of it is told once, as
    // a warning. Cheap: call it whenever the loop wakes.
    void ReferenceNow(const reference::ReferenceReport& report);

    // The program's loop is alive: a sign of life for the service manager's watchdog, when one
    // is due. Cheap; call it whenever the loop wakes.
    void Alive();

    // The run ends with `exitStatus`, stopped by `cause` (None: it ended by itself).
    void Stopped(int exitStatus, platform::StopCause cause);

    const SyncStatus& Status() const { return m_status; }

private:
    // Both files, and the service manager's status line.
    void Publish();
    void WriteFile(const std::string& path, const std::string& contents, bool& failing);
    void Ready();
    void TellOnce(const std::string& notice);

    SyncStatus m_status;
    const std::string m_statusFile, m_metricsFile;
    const bool m_following;
    SyncLog& m_log;
    platform::ServiceNotify& m_notify;
    std::string m_statusLine;
    bool m_ready = false;
    const std::int64_t m_maxErrorMicroseconds;
    std::int64_t m_referencePublished = 0; // monotonic
    // Notices of the clocks (the monotonic clock made up for a jump of the performance counter,
    // the time reference could not start): each stays true once it is, so it is told once.
    std::set<std::string> m_noticesTold;
    static constexpr std::int64_t kReferencePublishMicroseconds = 60'000'000;
    bool m_statusFailing = false, m_metricsFailing = false; // told, until written again
    std::chrono::steady_clock::time_point m_lastSignOfLife;
};

} // namespace kalvor_sync

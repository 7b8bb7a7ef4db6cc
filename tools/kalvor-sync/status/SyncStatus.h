#pragma once

#include "RunReason.h"
#include "platform/ClockSync.h"
#include "tools/kalvor-sync/reference/ReferenceReport.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kalvor_sync {

// What the status file and the metrics tell of a run of kalvor-sync: the program, the computer's
// clock, and how every device is. Plain data, kept by the StatusReporter.

// One moment as the status tells it.
struct StatusTime {
    std::int64_t utcMicroseconds = 0;
    // The computer's local time then, with its offset from UTC: "2026-12-08T03:00:00.412+01:00".
    std::string local;
    friend bool operator==(const StatusTime&, const StatusTime&) = default;
};

// The moment `utcMicroseconds` of the computer's clock, with the local time the system gives it.
StatusTime StatusTimeAt(std::int64_t utcMicroseconds);

// How an attempt to set a device ended.
enum class DeviceOutcome {
    Set,         // the whole sequence went out
    NotOpened,   // the port could not be opened or set up
    SendFailed,  // a frame could not be written
    Interrupted, // the program was stopped during the sequence: neither success nor failure
    Refused,     // --require-synced, and the computer's clock is not synchronised
};

// "set", "not opened", "send failed", "interrupted", "refused".
const char* OutcomeName(DeviceOutcome outcome);
std::optional<DeviceOutcome> OutcomeNamed(const std::string& name);

struct DeviceStatus {
    std::string name; // as the program's messages name it
    std::optional<StatusTime> lastAttempt, lastSuccess, lastFailure;
    std::optional<DeviceOutcome> outcome; // of the last attempt
    std::string lastError;                // of the last failure, in words; empty if none
    std::optional<RunReason> lastReason;  // why the last attempt ran
    std::uint64_t successes = 0, failures = 0;
    std::string zone; // the zone whose time it shows; empty: the computer's local time
    std::optional<std::int32_t> utcOffsetSeconds; // of the civil time it was last set to
    friend bool operator==(const DeviceStatus&, const DeviceStatus&) = default;
};

// One NTP server of the time reference, as the status tells it.
struct ServerStatus {
    std::string server;     // as the user named it
    std::string address;    // the address asked; empty before a look-up found one
    std::uint8_t reach = 0; // the last eight requests, answered (1) or not, newest lowest
    int pollSeconds = 0;
    std::optional<StatusTime> lastAnswer;
    std::optional<double> lastOffsetSeconds; // of its last answer: its time minus the computer's
    std::optional<double> lastDelaySeconds;
    std::string lastRejection; // why an answer was last refused, or a look-up failed
    bool outvoted = false;     // its word disagreed with the majority's
    bool refusing = false;     // it refused us (DENY, RSTR): asked no more
    friend bool operator==(const ServerStatus&, const ServerStatus&) = default;
};

// The time reference (--ntp-server), as the status tells it.
struct ReferenceStatus {
    std::string state;                           // "synced", "holdover", "unsynced"
    std::optional<double> computerOffsetSeconds; // the computer's clock minus true time
    std::optional<double> errorBoundSeconds;
    std::optional<double> delaySeconds;
    double maxErrorSeconds = 0; // --max-error
    std::vector<ServerStatus> servers;
    friend bool operator==(const ReferenceStatus&, const ReferenceStatus&) = default;
};

enum class RunState {
    Starting,        // before the first sequence
    Running,         // between sequences, or after the one of a single run
    WaitingForClock, // --require-synced and --every: held back until the clock is synchronised
    Stopped,
};

// "starting", "running", "waiting for a synchronised clock", "stopped".
const char* RunStateName(RunState state);

struct SyncStatus {
    std::string version;
    StatusTime started;
    StatusTime countsSince;              // since when the devices' counts and history run
    std::int64_t periodMicroseconds = 0; // --every; 0 for a single run
    RunState state = RunState::Starting;
    std::optional<int> exitStatus;                 // once stopped
    std::string stoppedBy;                         // who stopped it, in words; empty: it ended
    std::optional<platform::ClockSyncState> clock; // as last read
    std::optional<ReferenceStatus> reference;      // with --ntp-server
    std::vector<DeviceStatus> devices;             // in the order of the command line
    std::string zoneDataVersion; // of the zone files the devices' zones were read from
};

// A run's status before anything happened: the devices named, no history.
SyncStatus NewStatus(const std::string& version, const std::vector<std::string>& deviceNames,
                     std::int64_t periodMicroseconds, const StatusTime& now);

// The reference as its report tells it, the report's monotonic moments made instants of the
// computer's clock (read together as `monotonicNow` and `wallNow`).
ReferenceStatus ReferenceStatusOf(const reference::ReferenceReport& report,
                                  std::int64_t maxErrorMicroseconds, std::int64_t monotonicNow,
                                  std::int64_t wallNow);

// Takes each device's history (last attempt, success and failure, outcome, last error, reason
// and counts) from an earlier status of a device of the same name, and the time the counts run
// since; devices that `earlier` lacks start afresh.
void CarryForward(SyncStatus& status, const SyncStatus& earlier);

// One attempt on the device of that name (none: nothing happens); `error` says what went wrong
// when the outcome is a failure.
void RecordAttempt(SyncStatus& status, const std::string& deviceName, DeviceOutcome outcome,
                   const std::string& error, const RunReason& reason, const StatusTime& at);

} // namespace kalvor_sync

#include "SyncStatus.h"

#include "platform/SystemClock.h"
#include "tools/common/InstantText.h"
#include "tools/common/zones/ZoneOffset.h"

#include <chrono>
#include <cmath>

namespace kalvor_sync {

StatusTime StatusTimeAt(std::int64_t utcMicroseconds) {
    using namespace std::chrono;
    const LocalInstant local = platform::LocalTimeAt(utcMicroseconds);
    // The offset is what the local civil time is ahead of UTC, both read as seconds since 1970.
    const auto day = sys_days(year(local.m_year) / local.m_month / local.m_day);
    const std::int64_t localSeconds = duration_cast<seconds>(day.time_since_epoch()).count() +
                                      local.m_hour * 3600 + local.m_minute * 60 + local.m_second;
    const std::int64_t utcSeconds = floor<seconds>(microseconds(utcMicroseconds)).count();
    // Offsets are whole minutes (-03:30 too); a leap second read as :59 must not make one of
    // :59:59.
    const auto offsetMinutes =
        static_cast<int>(std::lround(static_cast<double>(localSeconds - utcSeconds) / 60));
    return {utcMicroseconds, kalvor_tools::FormatInstant(local, 'T') +
                                 kalvor_zones::FormatUtcOffset(offsetMinutes * 60)};
}

ReferenceStatus ReferenceStatusOf(const reference::ReferenceReport& report,
                                  std::int64_t maxErrorMicroseconds, std::int64_t monotonicNow,
                                  std::int64_t wallNow) {
    const auto seconds = [](const std::optional<double>& microseconds) {
        return microseconds ? std::optional<double>(*microseconds / 1e6) : std::nullopt;
    };
    ReferenceStatus status{reference::StateName(report.state),
                           seconds(report.computerOffsetMicroseconds),
                           seconds(report.errorBoundMicroseconds),
                           seconds(report.delayMicroseconds),
                           static_cast<double>(maxErrorMicroseconds) / 1e6,
                           {}};
    for (const reference::ServerReport& server : report.servers) {
        ServerStatus told{
            server.server,        server.address,  server.reach,  server.pollSeconds, {}, {}, {},
            server.lastRejection, server.outvoted, server.dropped};
        if (server.lastAnswer) {
            told.lastAnswer =
                StatusTimeAt(wallNow - (monotonicNow - server.lastAnswer->monotonicMicroseconds));
            told.lastOffsetSeconds = server.lastAnswer->offsetMicroseconds / 1e6;
            told.lastDelaySeconds = server.lastAnswer->delayMicroseconds / 1e6;
        }
        status.servers.push_back(std::move(told));
    }
    return status;
}

const char* OutcomeName(DeviceOutcome outcome) {
    switch (outcome) {
    case DeviceOutcome::Set:
        return "set";
    case DeviceOutcome::NotOpened:
        return "not opened";
    case DeviceOutcome::SendFailed:
        return "send failed";
    case DeviceOutcome::Interrupted:
        return "interrupted";
    case DeviceOutcome::Refused:
        return "refused";
    }
    return "?";
}

std::optional<DeviceOutcome> OutcomeNamed(const std::string& name) {
    for (const DeviceOutcome outcome :
         {DeviceOutcome::Set, DeviceOutcome::NotOpened, DeviceOutcome::SendFailed,
          DeviceOutcome::Interrupted, DeviceOutcome::Refused}) {
        if (name == OutcomeName(outcome)) {
            return outcome;
        }
    }
    return std::nullopt;
}

const char* RunStateName(RunState state) {
    switch (state) {
    case RunState::Starting:
        return "starting";
    case RunState::Running:
        return "running";
    case RunState::WaitingForClock:
        return "waiting for a synchronised clock";
    case RunState::Stopped:
        return "stopped";
    }
    return "?";
}

SyncStatus NewStatus(const std::string& version, const std::vector<std::string>& deviceNames,
                     std::int64_t periodMicroseconds, const StatusTime& now) {
    SyncStatus status;
    status.version = version;
    status.started = now;
    status.countsSince = now;
    status.periodMicroseconds = periodMicroseconds;
    for (const std::string& name : deviceNames) {
        DeviceStatus device;
        device.name = name;
        status.devices.push_back(device);
    }
    return status;
}

void CarryForward(SyncStatus& status, const SyncStatus& earlier) {
    status.countsSince = earlier.countsSince;
    for (DeviceStatus& device : status.devices) {
        for (const DeviceStatus& before : earlier.devices) {
            if (before.name == device.name) {
                const std::string zone = device.zone; // as this run is told, not the last one
                device = before;
                device.zone = zone;
            }
        }
    }
}

void RecordAttempt(SyncStatus& status, const std::string& deviceName, DeviceOutcome outcome,
                   const std::string& error, const RunReason& reason, const StatusTime& at) {
    for (DeviceStatus& device : status.devices) {
        if (device.name != deviceName) {
            continue;
        }
        device.lastAttempt = at;
        device.outcome = outcome;
        device.lastReason = reason;
        switch (outcome) {
        case DeviceOutcome::Set:
            device.lastSuccess = at;
            ++device.successes;
            break;
        case DeviceOutcome::Interrupted:
            break;
        case DeviceOutcome::NotOpened:
        case DeviceOutcome::SendFailed:
        case DeviceOutcome::Refused:
            device.lastFailure = at;
            device.lastError = error;
            ++device.failures;
            break;
        }
    }
}

} // namespace kalvor_sync

#include "SyncProgram.h"

#include "tools/common/zones/ZoneLibrary.h"
#include "tools/kalvor-sync/command/ExitStatus.h"
#include "tools/kalvor-sync/follow/KeepInSync.h"
#include "tools/kalvor-sync/reference/TimeReference.h"
#include "tools/kalvor-sync/sequence/SequenceRun.h"
#include "tools/kalvor-sync/status/StatusReporter.h"

#include <algorithm>
#include <chrono>
#include <memory>

namespace kalvor_sync {

namespace {

// Longer than a start burst with its last answer awaited (four requests 2 s apart).
constexpr std::chrono::milliseconds kFirstAnswersLimit{10'000};

int ExitStatusOf(PortOutcome outcome) {
    switch (outcome) {
    case PortOutcome::Sent:
        return kExitSent;
    case PortOutcome::NotOpened:
        return kExitPortNotOpened;
    case PortOutcome::SendFailed:
        return kExitSendFailed;
    }
    return kExitSendFailed;
}

} // namespace

int RunSync(const SyncCommand& command, std::ostream& out, std::ostream& errors,
            const ClockCheck::Reader& readClockSync, const NetworkOptions& network) {
    const platform::Interruption interruption;
    platform::ServiceNotify notify;
    return RunSync(command, out, errors, readClockSync, interruption, notify, {}, network);
}

int RunSync(const SyncCommand& command, std::ostream& out, std::ostream& errors,
            const ClockCheck::Reader& readClockSync, const platform::Interruption& interruption) {
    platform::ServiceNotify notify;
    return RunSync(command, out, errors, readClockSync, interruption, notify);
}

int RunSync(const SyncCommand& command, std::ostream& out, std::ostream& errors,
            const ClockCheck::Reader& readClockSync, const platform::Interruption& interruption,
            platform::ServiceNotify& notify, const SyncLog::EventSink& events,
            const NetworkOptions& network) {
    SyncLog log(out, errors, command.m_verbosity, events);
    const bool following = command.m_everyMicroseconds > 0;
    std::unique_ptr<reference::TimeReference> timeReference;
    if (!command.m_ntpServers.empty()) {
        reference::Options options;
        options.poll.minPollExponent = command.m_ntpMinPollExponent;
        timeReference = std::make_unique<reference::TimeReference>(command.m_ntpServers, options,
                                                                   reference::PlatformSeams());
    }
    ClockCheck check(readClockSync, command.m_requireSynced, following, log, timeReference.get(),
                     command.m_maxErrorMicroseconds);
    StatusReporter reporter(command, log, notify);
    SequenceRun run(command.m_align, log, interruption);
    std::vector<DeviceRecord> devices = RecordsOf(command.m_devices);

    const bool zoned = std::any_of(command.m_devices.begin(), command.m_devices.end(),
                                   [](const SyncDevice& device) { return device.zone != nullptr; });
    reporter.TellZones(command.m_devices,
                       zoned ? kalvor_zones::ZoneLibrary::System().Version() : std::string());
    reporter.Started();
    if (timeReference) {
        // Before the first sequence, each server's first answer: milliseconds on a LAN, the
        // start burst's seconds for a server that does not answer.
        timeReference->WaitUntilHeard(kFirstAnswersLimit, interruption);
        reporter.ReferenceNow(timeReference->Report());
    }
    int status = kExitSent;
    if (following) {
        status = KeepInSync(run, check, reporter, devices, network, command.m_everyMicroseconds,
                            log, interruption, timeReference.get())
                     .Run();
    } else if (!check.BeforeSequence()) {
        reporter.Refused(AllOf(devices), check.LastState(), check.HeldBackBecause());
        status = kExitClockNotSynced;
    } else {
        const DeviceRecords all = AllOf(devices);
        SequenceEnd end = OpenDevices(all, network, log, interruption);
        if (end == SequenceEnd::Completed) {
            end = run.Send(all, "", check.Time());
        }
        reporter.SequenceDone(all, end, {RunReason::Kind::Start, ""}, check.LastState());
        for (const DeviceRecord& device : devices) {
            for (const std::string& error : device.errors) {
                log.Error(error);
            }
            status = std::max(status, ExitStatusOf(device.outcome));
        }
        if (end == SequenceEnd::Interrupted) {
            status = kExitInterrupted;
        }
    }
    reporter.Stopped(status, interruption.Cause());
    return status;
}

} // namespace kalvor_sync

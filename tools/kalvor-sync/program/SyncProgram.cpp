#include "SyncProgram.h"

#include "tools/kalvor-sync/command/ExitStatus.h"
#include "tools/kalvor-sync/follow/KeepInSync.h"
#include "tools/kalvor-sync/sequence/SequenceRun.h"
#include "tools/kalvor-sync/status/StatusReporter.h"

#include <algorithm>

namespace kalvor_sync {

namespace {

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
    ClockCheck check(readClockSync, command.m_requireSynced, following, log);
    StatusReporter reporter(command, log, notify);
    platform::DeadlineTimer timer;
    SequenceRun run(command.m_align, log, interruption, timer);
    std::vector<DeviceRecord> devices = RecordsOf(command.m_devices);

    reporter.Started();
    int status = kExitSent;
    if (following) {
        status = KeepInSync(run, check, reporter, devices, network, command.m_everyMicroseconds,
                            log, interruption)
                     .Run();
    } else if (!check.BeforeSequence()) {
        reporter.Refused(AllOf(devices), check.LastState());
        status = kExitClockNotSynced;
    } else {
        const DeviceRecords all = AllOf(devices);
        SequenceEnd end = OpenDevices(all, network, log, interruption);
        if (end == SequenceEnd::Completed) {
            end = run.Send(all, "");
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

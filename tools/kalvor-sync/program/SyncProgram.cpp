#include "SyncProgram.h"

#include "platform/ServiceNotify.h"
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
    return RunSync(command, out, errors, readClockSync, interruption, {}, network);
}

int RunSync(const SyncCommand& command, std::ostream& out, std::ostream& errors,
            const ClockCheck::Reader& readClockSync, const platform::Interruption& interruption,
            const SyncLog::EventSink& events, const NetworkOptions& network) {
    SyncLog log(out, errors, command.m_verbosity, events);
    const bool following = command.m_everyMicroseconds > 0;
    ClockCheck check(readClockSync, command.m_requireSynced, following, log);
    platform::ServiceNotify notify;
    StatusReporter reporter(command, log, notify);
    platform::DeadlineTimer timer;
    SequenceRun run(command.m_align, log, interruption, timer, network);

    reporter.Started();
    int status = kExitSent;
    if (following) {
        status = KeepInSync(run, check, reporter, command.m_devices, command.m_everyMicroseconds,
                            log, interruption)
                     .Run();
    } else if (!check.BeforeSequence()) {
        reporter.Refused(command.m_devices, check.LastState());
        status = kExitClockNotSynced;
    } else {
        const SequenceResult result = run.Once(command.m_devices);
        reporter.SequenceDone(command.m_devices, result, {RunReason::Kind::Start, ""},
                              check.LastState());
        for (const PortResult& port : result.ports) {
            for (const std::string& error : port.errors) {
                log.Error(error);
            }
            status = std::max(status, ExitStatusOf(port.outcome));
        }
        if (result.interrupted) {
            status = kExitInterrupted;
        }
    }
    reporter.Stopped(status, interruption.Cause());
    return status;
}

} // namespace kalvor_sync

#include "SyncProgram.h"

#include "KeepInSync.h"
#include "SequenceRun.h"

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
    SyncLog log(out, errors, command.m_verbosity);
    ClockCheck check(readClockSync, command.m_requireSynced, log);
    const platform::Interruption interruption;
    platform::DeadlineTimer timer;
    SequenceRun run(command.m_align, log, interruption, timer, network);

    if (command.m_everyMicroseconds > 0) {
        return KeepInSync(run, check, command.m_devices, command.m_everyMicroseconds, log,
                          interruption)
            .Run();
    }
    if (!check.BeforeSequence()) {
        return kExitClockNotSynced;
    }
    const SequenceResult result = run.Once(command.m_devices);
    int status = kExitSent;
    for (const PortResult& port : result.ports) {
        for (const std::string& error : port.errors) {
            log.Error(error);
        }
        status = std::max(status, ExitStatusOf(port.outcome));
    }
    return result.interrupted ? kExitInterrupted : status;
}

} // namespace kalvor_sync

// kalvor-sync: sets a clock device's date and time from the command line. See SyncUsageText().
#include "CommandLine.h"
#include "DryRun.h"
#include "RepeatedSync.h"
#include "SyncLog.h"
#include "SyncRun.h"

#include <iostream>

using namespace kalvor_sync;

int main(int argc, char* argv[]) {
    const SyncCommand command = ParseSyncCommand(argc, argv);
    switch (command.m_action) {
    case SyncCommand::Action::Help:
        std::cout << SyncUsageText();
        return kExitSent;
    case SyncCommand::Action::Version:
        std::cout << "kalvor-sync " KALVOR_VERSION "\n";
        return kExitSent;
    case SyncCommand::Action::UsageError:
        std::cerr << "kalvor-sync: " << command.m_error << "\n(kalvor-sync --help tells more)\n";
        return kExitUsage;
    case SyncCommand::Action::DryRun:
        PrintDryRun(command, std::cout);
        return kExitSent;
    case SyncCommand::Action::Sync:
        break;
    }

    const platform::PortName& port = *command.m_port;
    SyncLog log(std::cout, std::cerr, command.m_verbosity);
    const platform::Interruption interruption;
    platform::DeadlineTimer timer;
    SyncRun run(port, command.m_align, command.m_latencyMicroseconds, log, interruption, timer);

    if (command.m_everyMicroseconds > 0) {
        return RunRepeatedly(run, command.m_everyMicroseconds, port, log, interruption, timer);
    }
    switch (run.Once()) {
    case RunOutcome::Sent:
        return kExitSent;
    case RunOutcome::NotOpened:
        return kExitPortNotOpened;
    case RunOutcome::SendFailed:
        return kExitSendFailed;
    case RunOutcome::Interrupted:
        return kExitInterrupted;
    }
    return kExitSendFailed;
}
